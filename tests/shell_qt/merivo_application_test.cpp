#include "shell/qt/merivo_application.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "reader/exceptions.h"

namespace {

TEST(MerivoApplication, AnExceptionEscapingAHandlerIsShownAndSurvived) {
    auto* app = static_cast<MerivoApplication*>(QCoreApplication::instance());
    QStringList shown;
    app->showException = [&](const QString& t) { shown << t; };
    bool ranAfter = false;
    QTimer::singleShot(0, [] { throw EIdException("Error saving attachment."); });
    QTimer::singleShot(0, [] { throw std::runtime_error("Fehler beim Schreiben: \xC3\xA4"); });
    QTimer::singleShot(5, [&] {
        ranAfter = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_TRUE(ranAfter);
    EXPECT_EQ(shown, (QStringList{"Fehler beim Speichern der Anlage.", QString::fromUtf8("Fehler beim Schreiben: ä")}));
}

TEST(MerivoApplication, LocalTextIsConvertedForDisplay) {
    EXPECT_EQ(ExceptionText("Cannot load message from file /post/M\xFCller.kqv"),
              QString::fromUtf8("Cannot load message from file /post/Müller.kqv"));
    EXPECT_EQ(ExceptionText("plain"), "plain");
}

TEST(MerivoApplication, QtsOwnTextsAreGerman) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_EQ(dialog.findChild<QLabel*>("fileNameLabel")->text(), "Datei&name:");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
    QPlainTextEdit page("Text");
    page.setReadOnly(true);
    const std::unique_ptr<QMenu> menu(page.createStandardContextMenu());
    QStringList commands;
    for (const QAction* a : menu->actions()) commands << a->text().section('\t', 0, 0);
    EXPECT_TRUE(commands.contains("&Kopieren")) << commands.join('|').toStdString();
    EXPECT_TRUE(commands.contains(QString::fromUtf8("Alles auswählen"))) << commands.join('|').toStdString();
}

TEST(MerivoApplication, EveryWindowCarriesTheProgramIcon) {
    QWidget window;
    EXPECT_FALSE(window.windowIcon().pixmap(32).isNull());
}

TEST(MerivoApplication, FileDialogsLeaveNoSettingsFile) {
    // The test main points XDG_CONFIG_HOME at a scratch folder.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(config.contains("shell_qt_config")) << config.toStdString();
    {
        QFileDialog dialog(nullptr, "Speichern unter", QDir::tempPath());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    }
    EXPECT_EQ(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

}  // namespace
