#include "view/qt/qt_text.h"

#include <QFile>

#include "platform/codepage.h"

namespace view::qt {

QString LocalToQString(const std::string& local) { return QString::fromStdString(platform::LocalToUtf8(local)); }

QString LocalLinesToQString(const std::vector<std::string>& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    return LocalToQString(joined);
}

namespace {

// Bytes the UTF-8 form of a local byte takes.
int Utf8Length(unsigned char c) {
    if (c < 0x80) return 1;
    const char32_t cp = platform::LocalCharToUnicode(c);
    return cp < 0x800 ? 2 : 3;
}

void AppendUtf8(std::string& out, unsigned char c) {
    const char32_t cp = platform::LocalCharToUnicode(c);
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
        return;
    }
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

MailText LocalLinesToMailText(const std::vector<std::string>& lines, const std::function<void()>& checkpoint) {
    constexpr std::size_t kLinesBetweenCheckpoints = 1 << 16;
    std::size_t size = lines.empty() ? 0 : lines.size() - 1;
    for (const std::string& line : lines)
        for (const char c : line) size += static_cast<std::size_t>(Utf8Length(static_cast<unsigned char>(c)));
    std::string utf8;
    utf8.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (checkpoint && i % kLinesBetweenCheckpoints == 0) checkpoint();
        if (i > 0) utf8 += '\n';
        const std::string& line = lines[i];
        std::size_t start = 0;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const auto c = static_cast<unsigned char>(line[k]);
            if (c < 0x80) continue;
            utf8.append(line, start, k - start);
            AppendUtf8(utf8, c);
            start = k + 1;
        }
        utf8.append(line, start, line.size() - start);
    }
    return MailText(std::move(utf8));
}

std::string ErrorTextToLocal(const char* what) { return platform::Utf8ToLocal(what ? what : ""); }

QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace view::qt
