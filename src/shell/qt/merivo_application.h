#pragma once
// The application object: the program's icon on every window, German
// texts throughout, no toolkit settings on disk. An exception that escapes
// an event handler is shown in a message box with its text, and the
// program keeps running.

#include <QApplication>

#include <functional>

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
