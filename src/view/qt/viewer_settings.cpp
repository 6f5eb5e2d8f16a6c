#include "view/qt/viewer_settings.h"

#include <QStandardPaths>

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings() {
    // An explicit file: Qt's default places for user settings are pointed
    // at nothing, so that Qt keeps no settings of its own on disk.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(folder + QStringLiteral("/Merivo/Merivo Emailbetrachter.conf"),
                                       QSettings::IniFormat);
}

}  // namespace view::qt
