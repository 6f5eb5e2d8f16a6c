#include "view/qt/qt_save_dialog.h"

#include <QFileDialog>

#include "view/qt/qt_text.h"

namespace view::qt {

std::optional<std::string> QtSaveDialog::Execute(const std::string& proposedName) {
    const QString chosen = QFileDialog::getSaveFileName(anchor_ ? anchor_->window() : nullptr, QStringLiteral("Speichern unter"),
                                                        PathToQString(proposedName), QString(), nullptr,
                                                        // Qt's own dialog speaks the program's German
                                                        // and adds nothing to the recent documents.
                                                        QFileDialog::DontConfirmOverwrite |
                                                            QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) return std::nullopt;
    return QStringToPath(chosen);
}

}  // namespace view::qt
