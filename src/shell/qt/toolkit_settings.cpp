#include "shell/qt/toolkit_settings.h"

#include <QSettings>

void KeepToolkitSettingsOffDisk() {
#ifndef Q_OS_WIN
    // No folder can ever be made below a device file, whoever runs us.
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
#endif
}
