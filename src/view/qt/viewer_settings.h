#pragma once
// The viewer's own settings, stored under its own name for the user
// (~/.config/Merivo/Merivo Emailbetrachter.conf on this platform).

#include <QSettings>
#include <memory>

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings();

// "auto" or "classic": how the next mail's text is read.
inline constexpr const char* kCharsetSettingKey = "Ansicht/Zeichenkodierung";

}  // namespace view::qt
