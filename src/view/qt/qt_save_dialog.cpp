#include "view/qt/qt_save_dialog.h"


#include "view/qt/file_dialogs.h"
#include "view/qt/qt_text.h"

namespace view::qt {

std::optional<std::string> QtSaveDialog::Execute(const std::string& proposedName) {
    const auto dialog =
        NewFileDialog(anchor_ ? anchor_->window() : nullptr, QStringLiteral("Speichern unter"), PathToQString(proposedName));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    const std::optional<QString> chosen = ChosenFile(*dialog);
    if (!chosen) return std::nullopt;
    return QStringToPath(*chosen);
}

}  // namespace view::qt
