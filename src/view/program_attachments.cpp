#include "view/program_attachments.h"

#include <algorithm>
#include <array>

#include "platform/codepage.h"

namespace view {
namespace {

// Extensions that desktops on Linux, Windows (also under Wine) or a Java
// runtime start as programs.
constexpr std::array<std::string_view, 33> kProgramExtensions = {
    "desktop", "sh",  "bash", "zsh", "csh", "ksh", "py",  "pyw", "pl",  "rb",  "php",
    "run",     "appimage", "exe", "bat", "cmd", "com", "scr", "msi", "msp", "jar", "ps1",
    "psm1",    "vbs", "vbe", "js",  "jse", "wsf", "wsh", "hta", "pif", "cpl", "lnk",
};

bool IsBlank(unsigned char c) { return c == ' ' || c == 0xA0; }
bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// The extension a desktop would see: after the last ".", once blanks,
// dots and control characters at the end are gone.
std::string RealExtension(std::string_view name) {
    while (!name.empty()) {
        const auto c = static_cast<unsigned char>(name.back());
        if (!IsBlank(c) && !IsControl(c) && c != '.') break;
        name.remove_suffix(1);
    }
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return platform::LowerCaseAscii(name.substr(dot + 1));
}

// A desktop entry may begin with blank lines and comments.
bool StartsDesktopEntry(std::string_view start) {
    if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
    while (!start.empty()) {
        const auto end = start.find('\n');
        std::string_view line = start.substr(0, end);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (!line.empty() && line.front() != '#' && line != "\r") return line.starts_with("[Desktop Entry]");
        if (end == std::string_view::npos) break;
        start.remove_prefix(end + 1);
    }
    return false;
}

}  // namespace

bool IsProgram(std::string_view name, std::string_view start) {
    const std::string extension = RealExtension(name);
    if (std::find(kProgramExtensions.begin(), kProgramExtensions.end(), extension) != kProgramExtensions.end())
        return true;
    // ELF (also AppImage), DOS and Windows executables, scripts.
    return start.starts_with("\x7F" "ELF") || start.starts_with("MZ") || start.starts_with("#!") ||
           StartsDesktopEntry(start);
}

std::string VisibleName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 8);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLineBreak(c)) {
            out += '\xB6';
        } else if (IsControl(c)) {
            out += '\xA4';
        } else if (IsBlank(c)) {
            const bool inRun = (i > 0 && IsBlank(static_cast<unsigned char>(name[i - 1]))) ||
                               (i + 1 < name.size() && IsBlank(static_cast<unsigned char>(name[i + 1])));
            const bool atEnd = i == 0 || i + 1 == name.size();
            out += inRun || atEnd ? '\xB7' : name[i];
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace view
