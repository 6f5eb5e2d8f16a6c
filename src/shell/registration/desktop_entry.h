#pragma once
// Texts of the freedesktop association: the desktop entry and the MIME type.

#include <string>

inline constexpr const char* kKqvMimeType = "application/x-merivo-kqv";
inline constexpr const char* kDesktopFileName = "MerivoMailView.desktop";
inline constexpr const char* kMimePackageFileName = "merivo-mailviewer.xml";

// The Exec value: the executable's path in double quotes (with the escapes
// the desktop-entry format asks for), a blank, the file placeholder.
std::string DesktopExecLine(const std::string& exePath);
std::string DesktopEntryText(const std::string& exePath);
std::string MimePackageText();
