#pragma once
// The viewer's own settings, stored under its own name for the user
// (~/.config/Merivo/Merivo Emailbetrachter.conf on this platform).

#include <QSettings>
#include <memory>

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings();

// Zoom of the text, header and HTML pages in percent.
inline constexpr const char* kZoomSettingKey = "Ansicht/Zoom";

}  // namespace view::qt
