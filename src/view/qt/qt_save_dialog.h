#pragma once
// SaveDialog1 as the toolkit's file-save dialog.

#include <QPointer>

#include "view/save_dialog.h"

class QWidget;

namespace view::qt {

class QtSaveDialog : public SaveDialog {
public:
    // The dialog belongs to the window that hosts anchor at the time.
    explicit QtSaveDialog(QWidget* anchor = nullptr) : anchor_(anchor) {}
    // No filter, no default extension and no question before replacing a
    // file: the view replaces the file at the chosen place by design.
    std::optional<std::string> Execute(const std::string& proposedName) override;

private:
    QPointer<QWidget> anchor_;
};

}  // namespace view::qt
