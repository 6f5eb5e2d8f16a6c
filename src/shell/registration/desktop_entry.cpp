#include "shell/registration/desktop_entry.h"

namespace {

// Inside a quoted Exec argument, '"', '`', '$' and '\' are escaped with a
// backslash; then the whole value is a desktop-entry string, whose own
// escape doubles every backslash. '%' is a field code unless doubled.
std::string QuoteExecArgument(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

}  // namespace

std::string DesktopExecLine(const std::string& exePath) { return QuoteExecArgument(exePath) + " %f"; }

std::string DesktopEntryText(const std::string& exePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Merivo Emailbetrachter\n"
           "Comment=Gespeicherte E-Mails (.kqv) ansehen\n"
           "Exec=" + DesktopExecLine(exePath) + "\n"
           "Icon=merivo-mailviewer\n"
           "Terminal=false\n"
           "MimeType=" + std::string(kKqvMimeType) + ";\n"
           "Categories=Office;Email;Viewer;\n";
}

std::string MimePackageText() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(kKqvMimeType) + "\">\n"
           "    <comment>Merivo Email-Datei</comment>\n"
           "    <comment xml:lang=\"de\">Merivo Email-Datei</comment>\n"
           "    <glob pattern=\"*.kqv\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}
