#include "shell/qt/merivo_application.h"

#include <QMessageBox>

#include <exception>
#include <string>

#include "platform/codepage.h"


QString ExceptionText(const char* what) {
    const std::string text = what ? what : "";
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString asUtf8 = QString::fromUtf8(bytes);
    if (asUtf8.toUtf8() == bytes && !asUtf8.contains(QChar::ReplacementCharacter)) return asUtf8;
    return QString::fromStdString(platform::LocalToUtf8(text));
}

std::unique_ptr<QMessageBox> PlainTextMessageBox(QMessageBox::Icon icon, const QString& text, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(icon, QString::fromUtf8("Merivo Emailbetrachter"), QString(),
                                             QMessageBox::Ok, parent);
    // Error texts name files, and file names come from anywhere.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

MerivoApplication::MerivoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    showException = [](const QString& text) { PlainTextMessageBox(QMessageBox::Critical, text, nullptr)->exec(); };
}

bool MerivoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(ExceptionText(e.what()));
    } catch (...) {
        showException(QString::fromUtf8("Unbekannter Fehler."));
    }
    return false;
}
