#include "view/qt/file_dialogs.h"

#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace view::qt {
namespace {

// Qt's file list writes sizes and dates in the system's locale, which is
// not necessarily German; these two columns are written anew.
class GermanFileDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale german;
        switch (index.column()) {
        case kSizeColumn:
            if (files->isDir(source)) break;
            return german.formattedDataSize(files->size(source), 1, QLocale::DataSizeTraditionalFormat);
        case kDateColumn:
            return german.toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            break;
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;
};

}  // namespace

std::unique_ptr<QFileDialog> NewFileDialog(QWidget* parent, const QString& title, const QString& folderOrFile) {
    auto dialog = std::make_unique<QFileDialog>(parent, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setProxyModel(new GermanFileDetails(dialog.get()));
    if (!folderOrFile.isEmpty()) {
        const QFileInfo info(folderOrFile);
        if (info.isDir()) {
            dialog->setDirectory(folderOrFile);
        } else {
            if (info.isAbsolute()) dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
        }
    }
    return dialog;
}

std::optional<QString> ChosenFile(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

}  // namespace view::qt
