#pragma once
// Texts between the view core (UTF-8, local Windows-1252 in message boxes)
// and Qt.

#include <QString>
#include <string>
#include <vector>

namespace view::qt {

QString LocalToQString(const std::string& local);
// One line per entry, joined with "\n".
QString LocalLinesToQString(const std::vector<std::string>& lines);
// What the view core shows is UTF-8.
QString Utf8ToQString(const std::string& utf8);
QString Utf8LinesToQString(const std::vector<std::string>& lines);
// Text of an exception: usually local text, but texts from the file system
// carry UTF-8 paths; both read correctly this way.
std::string ErrorTextToLocal(const char* what);

// Paths are the file system's bytes (UTF-8 here).
QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

}  // namespace view::qt
