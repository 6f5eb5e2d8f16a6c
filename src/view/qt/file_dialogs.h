#pragma once
// The program's file dialogs: always Qt's own, never the desktop's, so they
// speak the program's German (the desktop's dialog speaks the desktop's
// language) and add nothing to the desktop's recent documents. Sizes and
// dates in the file list follow German rules too.

#include <QFileDialog>
#include <QString>
#include <memory>
#include <optional>

namespace view::qt {

std::unique_ptr<QFileDialog> NewFileDialog(QWidget* parent, const QString& title, const QString& folderOrFile);

// Runs the dialog: the chosen file, or nothing when cancelled.
std::optional<QString> ChosenFile(QFileDialog& dialog);

}  // namespace view::qt
