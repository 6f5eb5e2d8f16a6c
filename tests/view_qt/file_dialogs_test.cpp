#include "view/qt/file_dialogs.h"

#include <QAbstractProxyModel>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(FileDialogs, QtsOwnDialogWithGermanSizesAndDates) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir folder;
    QFile file(folder.filePath("brief.kqv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1536, 'x'));
    file.close();

    const auto dialog = view::qt::NewFileDialog(nullptr, "Speichern unter", folder.filePath("brief.kqv"));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QAbstractProxyModel* list = dialog->proxyModel();
    ASSERT_NE(list, nullptr);
    auto* files = static_cast<QFileSystemModel*>(list->sourceModel());
    QModelIndex row;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        row = list->mapFromSource(files->index(folder.filePath("brief.kqv")));
        return row.isValid() && files->size(list->mapToSource(row)) == 1536;
    }));
    EXPECT_EQ(row.siblingAtColumn(1).data().toString(), "1,5 kB");
    const QDateTime modified = QFileInfo(file).lastModified();
    EXPECT_EQ(row.siblingAtColumn(3).data().toString(), modified.toString("dd.MM.yy HH:mm"));
    QLocale::setDefault(before);
}

}  // namespace
