#pragma once
// Texts between the view core (UTF-8, local Windows-1252 in message boxes)
// and Qt.

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "view/qt/mail_text.h"

namespace view::qt {

QString LocalToQString(const std::string& local);
// What the view core shows is UTF-8; lines are joined with "\n".
QString Utf8ToQString(const std::string& utf8);
QString Utf8LinesToQString(const std::vector<std::string>& lines);
// What the text pages show for the core's lines: the one conversion from
// the core's strings to the text widget. Safe on any thread; checkpoint,
// if given, is called now and then and may raise to stop.
MailText Utf8LinesToMailText(const std::vector<std::string>& lines, const std::function<void()>& checkpoint = {});
// Text of an exception: usually local text, but texts from the file system
// carry UTF-8 paths; both read correctly this way.
std::string ErrorTextToLocal(const char* what);

// Paths are the file system's bytes (UTF-8 here).
QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

}  // namespace view::qt
