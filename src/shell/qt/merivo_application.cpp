#include "shell/qt/merivo_application.h"

#include <QIcon>
#include <QMessageBox>

#include <exception>
#include <string>

#include "platform/codepage.h"
#include "shell/qt/german_translations.h"
#include "shell/qt/toolkit_settings.h"
#include "view/qt/german_error_texts.h"


QString ExceptionText(const char* what) {
    const std::string text = what ? what : "";
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString asUtf8 = QString::fromUtf8(bytes);
    if (asUtf8.toUtf8() == bytes && !asUtf8.contains(QChar::ReplacementCharacter)) return asUtf8;
    return QString::fromStdString(platform::LocalToUtf8(text));
}

MerivoApplication::MerivoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Every window of the program, the boxes included, carries its icon.
    setWindowIcon(QIcon(QStringLiteral(":/icons/merivo-mailviewer.svg")));
    InstallGermanTranslations(*this);
    KeepToolkitSettingsOffDisk();
    showException = [](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8("Merivo Emailbetrachter"), text, QMessageBox::Ok);
        box.exec();
    };
}

bool MerivoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(view::qt::GermanErrorText(ExceptionText(e.what())));
    } catch (...) {
        showException(QString::fromUtf8("Unbekannter Fehler."));
    }
    return false;
}
