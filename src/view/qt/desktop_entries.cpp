#include "view/qt/desktop_entries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

namespace view::qt {
namespace {

// Escapes of the key-file format: \s \n \t \r \\.
QString UnescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default:
            // Kept for the next level (Exec quoting, list separators).
            out += u'\\';
            out += next;
        }
    }
    return out;
}

bool IsTrue(const QString& value) { return value.trimmed() == u"true"; }

// Splits an Exec line into words: double quotes group, and inside them a
// backslash escapes " ` $ and \.
std::optional<QStringList> SplitExec(const QString& exec) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size() && QStringView(u"\"`$\\").contains(exec[i + 1])) {
                word += exec[++i];
            } else {
                word += c;
            }
        } else if (c == u'"') {
            quoted = true;
            inWord = true;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) return std::nullopt;
    if (inWord) words << word;
    return words;
}

QString LocalisedName(const QMap<QString, QString>& keys, const QString& locale) {
    const QString language = locale.section(u'_', 0, 0);
    for (const QString& key : {QStringLiteral("Name[%1]").arg(locale), QStringLiteral("Name[%1]").arg(language)})
        if (keys.contains(key)) return keys.value(key);
    return keys.value(QStringLiteral("Name"));
}

bool TryExecFound(const QString& tryExec) {
    if (tryExec.isEmpty()) return true;
    if (QDir::isAbsolutePath(tryExec)) return QFileInfo(tryExec).isExecutable();
    return !QStandardPaths::findExecutable(tryExec).isEmpty();
}

}  // namespace

DesktopEntry ParseDesktopEntry(const QString& text, const QString& locale) {
    QMap<QString, QString> keys;
    bool inMainGroup = false;
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        // The first occurrence of a key counts.
        if (!keys.contains(key)) keys.insert(key, UnescapeValue(line.mid(eq + 1).trimmed()));
    }
    DesktopEntry entry;
    entry.name = LocalisedName(keys, locale);
    entry.exec = keys.value(QStringLiteral("Exec"));
    entry.icon = keys.value(QStringLiteral("Icon"));
    entry.tryExec = keys.value(QStringLiteral("TryExec"));
    for (const QString& type : keys.value(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts))
        entry.mimeTypes << type.trimmed();
    entry.application = keys.value(QStringLiteral("Type")) == u"Application";
    entry.noDisplay = IsTrue(keys.value(QStringLiteral("NoDisplay")));
    entry.hidden = IsTrue(keys.value(QStringLiteral("Hidden")));
    entry.terminal = IsTrue(keys.value(QStringLiteral("Terminal")));
    return entry;
}

std::optional<QStringList> ExpandExec(const DesktopEntry& entry, const QString& filePath) {
    const std::optional<QStringList> words = SplitExec(entry.exec);
    if (!words || words->isEmpty()) return std::nullopt;
    QStringList argv;
    bool fileGiven = false;
    for (const QString& word : *words) {
        // Codes that stand as a whole word may expand to several or none.
        if (word == u"%i") {
            if (!entry.icon.isEmpty()) argv << QStringLiteral("--icon") << entry.icon;
            continue;
        }
        QString out;
        bool dropped = false;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%' || i + 1 >= word.size()) {
                out += word[i];
                continue;
            }
            const QChar code = word[++i];
            switch (code.unicode()) {
            case '%': out += u'%'; break;
            case 'f': case 'F': case 'u': case 'U':
                out += filePath;
                fileGiven = true;
                break;
            case 'c': out += entry.name; break;
            case 'k': out += entry.path; break;
            default:
                // Deprecated and unknown codes go, with a word they filled.
                if (word.size() == 2) dropped = true;
            }
        }
        if (!dropped) argv << out;
    }
    if (argv.isEmpty() || argv.front().isEmpty()) return std::nullopt;
    if (!fileGiven) argv << filePath;
    return argv;
}

std::vector<Application> FindApplications(const QStringList& applicationDirs, const QStringList& mimeTypes,
                                          const QString& locale) {
    QSet<QString> seen;
    std::vector<Application> apps;
    for (const QString& dir : applicationDirs) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id = QDir(dir).relativeFilePath(path).replace(u'/', u'-');
            if (seen.contains(id)) continue;
            seen.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) continue;
            DesktopEntry entry = ParseDesktopEntry(QString::fromUtf8(file.readAll()), locale);
            entry.id = id;
            entry.path = path;
            if (!entry.application || entry.hidden || entry.terminal || entry.exec.isEmpty()) continue;
            if (!TryExecFound(entry.tryExec)) continue;
            const bool handles = std::any_of(mimeTypes.begin(), mimeTypes.end(),
                                             [&](const QString& type) { return entry.mimeTypes.contains(type); });
            if (!handles && entry.noDisplay) continue;
            apps.push_back({std::move(entry), handles});
        }
    }
    std::stable_sort(apps.begin(), apps.end(), [](const Application& a, const Application& b) {
        if (a.handlesType != b.handlesType) return a.handlesType;
        return QString::localeAwareCompare(a.entry.name, b.entry.name) < 0;
    });
    return apps;
}

}  // namespace view::qt
