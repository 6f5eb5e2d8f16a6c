#include "view/qt/qt_text.h"

#include <QFile>

#include "platform/codepage.h"

namespace view::qt {

QString LocalToQString(const std::string& local) { return QString::fromStdString(platform::LocalToUtf8(local)); }

namespace {

// The lines joined with "\n"; checkpoint, if given, now and then.
std::string Joined(const std::vector<std::string>& lines, const std::function<void()>& checkpoint = {}) {
    constexpr std::size_t kLinesBetweenCheckpoints = 1 << 16;
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    std::string joined;
    joined.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (checkpoint && i % kLinesBetweenCheckpoints == 0) checkpoint();
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    return joined;
}

}  // namespace

QString Utf8ToQString(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QString Utf8LinesToQString(const std::vector<std::string>& lines) { return Utf8ToQString(Joined(lines)); }

MailText Utf8LinesToMailText(const std::vector<std::string>& lines, const std::function<void()>& checkpoint) {
    return MailText(Joined(lines, checkpoint));
}

std::string ErrorTextToLocal(const char* what) { return platform::Utf8ToLocal(what ? what : ""); }

QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace view::qt
