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

std::string ErrorTextToLocal(const char* what) { return platform::Utf8ToLocal(what ? what : ""); }

QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace view::qt
