#pragma once
// The application object: the program's icon on every window, German
// texts throughout, no toolkit settings on disk. An exception that escapes
// an event handler is shown in a message box with its text, and the
// program keeps running.

#include <QApplication>
#include <QMessageBox>

#include <functional>
#include <memory>

class MerivoApplication final : public QApplication {
public:
    MerivoApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error text; tests replace the box.
    std::function<void(const QString& text)> showException;
};

// An exception's text as the user should read it: reader texts are local
// 8-bit text, system texts UTF-8.
QString ExceptionText(const char* what);

// A box with the application title as caption and one OK button whose text
// is shown as it stands, never as markup.
std::unique_ptr<QMessageBox> PlainTextMessageBox(QMessageBox::Icon icon, const QString& text, QWidget* parent);
