#pragma once
// The viewer's own settings. The toolkit's default settings files are kept
// off the disk (shell/qt/toolkit_settings.h), so this file is named
// explicitly: $XDG_CONFIG_HOME/Merivo/Merivo Emailbetrachter.conf (default
// ~/.config/...).

#include <QSettings>
#include <memory>

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings();

// Zoom of the text, header and HTML pages in percent.
inline constexpr const char* kZoomSettingKey = "Ansicht/Zoom";
// "auto" or "classic": how the next mail's text is read.
inline constexpr const char* kCharsetSettingKey = "Ansicht/Zeichenkodierung";

}  // namespace view::qt
