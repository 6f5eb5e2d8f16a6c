#pragma once
// "Öffnen mit": our own choice of a program for a file, for desktops
// without the portal's question. Lists the installed applications (those
// for the file's type first) and lets the user pick any program file.

#include <QDialog>
#include <QStringList>
#include <vector>

#include "view/qt/desktop_entries.h"

class QCheckBox;
class QListWidget;

namespace view::qt {

class ProgramChooserDialog : public QDialog {
    Q_OBJECT
public:
    ProgramChooserDialog(const QString& filePath, std::vector<Application> applications, QWidget* parent);

    // The program and arguments to start after the dialog was accepted.
    QStringList Command() const { return command_; }

    // Chooses the entry in row of the list as shown (tests, keyboard).
    bool ChooseRow(int row);

private:
    void Refill();
    void PickProgramFile();

    QString filePath_;
    std::vector<Application> applications_;
    std::vector<int> shown_;  // indices into applications_, row by row
    QListWidget* list_ = nullptr;
    QCheckBox* showAll_ = nullptr;
    QStringList command_;
};

// The applications folders of the XDG data dirs, in precedence order.
QStringList ApplicationDirectories();

// Shows the dialog for the file and starts the chosen program on it.
void ChooseAndStartProgram(const QString& filePath, QWidget* parent);

}  // namespace view::qt
