#include "view/qt/qt_text.h"

#include <QFile>

#include "platform/codepage.h"

namespace view::qt {

QString LocalToQString(const std::string& local) { return QString::fromStdString(platform::LocalToUtf8(local)); }

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    std::string joined;
    joined.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    return joined;
}

}  // namespace

QString LocalLinesToQString(const std::vector<std::string>& lines) { return LocalToQString(Joined(lines)); }

QString Utf8ToQString(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QString Utf8LinesToQString(const std::vector<std::string>& lines) { return Utf8ToQString(Joined(lines)); }

std::string ErrorTextToLocal(const char* what) { return platform::Utf8ToLocal(what ? what : ""); }

QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace view::qt
