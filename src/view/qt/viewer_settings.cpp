#include "view/qt/viewer_settings.h"

#include <QStandardPaths>

namespace view::qt {

std::unique_ptr<QSettings> OpenViewerSettings() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Merivo"),
                                       QStringLiteral("Merivo Emailbetrachter"));
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(folder + QStringLiteral("/Merivo/Merivo Emailbetrachter.conf"),
                                       QSettings::IniFormat);
#endif
}

}  // namespace view::qt
