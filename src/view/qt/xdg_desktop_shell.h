#pragma once
// The desktop shell on a freedesktop desktop: xdg-open for files and URLs,
// xdg-mime to tell whether any program is associated with a file's type,
// and the desktop portal's "open with" question (or our own program
// chooser) when none is.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

#include "view/desktop_shell.h"

class QWidget;

namespace view::qt {

// Runs a program and returns what it printed, or nothing when it could not
// run or failed.
using ProgramOutput = std::function<std::optional<QString>(const QStringList& argv)>;

// Whether the desktop has a default program for any of the types (a file's
// type and the types it derives from); nothing when it cannot be told.
std::optional<bool> HasDefaultProgram(const QStringList& mimeTypes, const ProgramOutput& run);

// The MIME type of a file and the types it derives from, most specific first.
QStringList MimeTypesOfFile(const QString& path);

class XdgDesktopShell : public DesktopShell {
public:
    // The parts that reach the desktop; tests replace them.
    struct Desktop {
        ProgramOutput run;
        std::function<bool(const QUrl&)> openUrl;
        // The portal's open-with question; false when there is no portal.
        std::function<bool(const QString& path)> portalOpenWith;
        // Our own chooser, when there is no portal.
        std::function<void(const QString& path)> chooseProgram;
    };
    // Dialogs belong to the window that hosts anchor at the time.
    static Desktop RealDesktop(QWidget* anchor);

    explicit XdgDesktopShell(QWidget* anchor = nullptr);
    explicit XdgDesktopShell(Desktop desktop) : desktop_(std::move(desktop)) {}

    ShellOpenResult OpenFile(const std::string& path) override;
    void ChooseProgramFor(const std::string& path) override;
    void OpenUrl(const std::string& url) override;

private:
    Desktop desktop_;
};

}  // namespace view::qt
