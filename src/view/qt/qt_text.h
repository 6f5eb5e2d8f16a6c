#pragma once
// The view's texts are local 8-bit text (Windows-1252); Qt wants Unicode.

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "view/qt/mail_text.h"

namespace view::qt {

QString LocalToQString(const std::string& local);
// One line per entry, joined with "\n".
QString LocalLinesToQString(const std::vector<std::string>& lines);
// What the text pages show for the core's lines: the one conversion from
// the core's strings to the text widget. Safe on any thread; checkpoint,
// if given, is called now and then and may raise to stop.
MailText LocalLinesToMailText(const std::vector<std::string>& lines, const std::function<void()>& checkpoint = {});
// Text of an exception: usually local text, but texts from the file system
// carry UTF-8 paths; both read correctly this way.
std::string ErrorTextToLocal(const char* what);

// Paths are the file system's bytes (UTF-8 here).
QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

}  // namespace view::qt
