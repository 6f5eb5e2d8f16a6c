#include "view/qt/viewer_settings.h"

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Merivo"),
                                       QStringLiteral("Merivo Emailbetrachter"));
}

}  // namespace view::qt
