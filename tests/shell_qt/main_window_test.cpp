#include "shell/qt/main_window.h"
#include "shell/qt/merivo_application.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "shell/registration/file_type_registrar.h"

namespace {

struct Recorder {
    QStringList shown;
    QStringList messages;
    std::optional<QString> dialogAnswer;
    QStringList dialogFolders;
    int registrations = 0;
};

class CountingRegistrar final : public FileTypeRegistrar {
public:
    explicit CountingRegistrar(Recorder& r) : r_(r) {}
    void RegisterKqv(const std::string&, const std::function<void(const std::string&)>& show) override {
        ++r_.registrations;
        show("Dateiendung konnte erfolgreich registriert werden.");
    }

private:
    Recorder& r_;
};

class MainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<TformMailViewer> Make(QStringList args) {
        header_ = new QLabel("header");
        header_->setObjectName("panelOben");
        pages_ = new QTabWidget;
        pages_->setObjectName("pcMailAnsicht");
        MainWindowPorts ports;
        ports.showMail = [this](const QString& p) { rec_.shown << p; };
        ports.chooseMailFile = [this](QWidget*, const QString& folder) {
            rec_.dialogFolders << folder;
            return rec_.dialogAnswer;
        };
        ports.showPlainMessage = [this](QWidget*, const QString& t) { rec_.messages << t; };
        ports.registrar = std::make_unique<CountingRegistrar>(rec_);
        ports.executablePath = "/usr/bin/merivo-mailviewer";
        ports.charsetMenu = charsetMenu_;
        return std::make_unique<TformMailViewer>(header_, pages_, std::move(args), std::move(ports));
    }
    QWidget* PanelMain(TformMailViewer& w) { return w.findChild<QWidget*>("panelMain"); }
    QString Status(TformMailViewer& w) { return w.findChild<QStatusBar*>("StatusBar1")->currentMessage(); }

    // A window that was never shown has not taken the view's controls.
    void TearDown() override {
        delete header_.data();
        delete pages_.data();
    }

    Recorder rec_;
    QPointer<QWidget> header_;
    QPointer<QTabWidget> pages_;
    QMenu* charsetMenu_ = nullptr;
};

TEST_F(MainWindowTest, StartsWithTheMenuBarOnly) {
    auto w = Make({"viewer"});
    w->show();
    EXPECT_EQ(w->windowTitle(), "Merivo Email Betrachter V1.04");
    EXPECT_EQ(w->size(), QSize(787, 536));
    EXPECT_FALSE(PanelMain(*w)->isVisible());
    EXPECT_TRUE(rec_.shown.isEmpty());
    // The three commands first, unchanged; the drop-down menus after them.
    QStringList commands;
    for (QAction* a : w->menuBar()->actions().mid(0, 3)) {
        commands << a->text();
        EXPECT_EQ(a->menu(), nullptr);
    }
    EXPECT_EQ(commands, (QStringList{"Datei öffnen", ".kqv immer mit Mailviewer öffnen", "Beenden"}));
    // The view's controls now live in panelMain: header above the pages.
    EXPECT_EQ(header_->parentWidget(), PanelMain(*w));
    EXPECT_EQ(pages_->parentWidget(), PanelMain(*w));
}

TEST_F(MainWindowTest, CharsetMenuFollowsTheThreeCommands) {
    QMenu charsetMenu(QStringLiteral("Zeichenkodierung"));
    charsetMenu_ = &charsetMenu;
    auto w = Make({"viewer"});
    QStringList entries;
    for (QAction* a : w->menuBar()->actions()) entries << a->text();
    EXPECT_EQ(entries.mid(0, 4), (QStringList{"Datei öffnen", ".kqv immer mit Mailviewer öffnen", "Beenden", "Zeichenkodierung"}));
    EXPECT_EQ(w->menuBar()->actions().at(3)->menu(), &charsetMenu);
}

TEST_F(MainWindowTest, FirstArgumentIsShownAndTheSecondIgnored) {
    auto w = Make({"viewer", "/post/A.KQV", "/post/B.kqv"});
    w->show();
    EXPECT_EQ(rec_.shown, QStringList{"/post/A.KQV"});
    EXPECT_TRUE(PanelMain(*w)->isVisible());
    EXPECT_EQ(Status(*w), "/post/A.KQV");
    EXPECT_EQ(w->CurrentFileName(), "/post/A.KQV");
}

TEST_F(MainWindowTest, ATextFileArgumentShowsNothingAndNoMessage) {
    auto w = Make({"viewer", "/post/brief.txt"});
    w->show();
    EXPECT_TRUE(rec_.shown.isEmpty());
    EXPECT_TRUE(rec_.messages.isEmpty());
    EXPECT_FALSE(PanelMain(*w)->isVisible());
}

TEST_F(MainWindowTest, DropShowsTheFirstKqvInOrder) {
    auto w = Make({"viewer"});
    w->show();
    w->DropFiles({"/a/brief.eml", "/a/zwei.kqv", "/a/drei.kqv"});
    EXPECT_EQ(rec_.shown, QStringList{"/a/zwei.kqv"});
    w->DropFiles({"/a/bild.png", "/a/ordner"});
    EXPECT_EQ(rec_.shown.size(), 1);
    EXPECT_TRUE(rec_.messages.isEmpty());
}

TEST_F(MainWindowTest, DropEventsCarryLocalFileUrls) {
    auto w = Make({"viewer"});
    w->show();
    QMimeData noMail;
    noMail.setUrls({QUrl::fromLocalFile("/a/x.txt"), QUrl::fromLocalFile("/a/z.kqv.bak")});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &noMail, Qt::LeftButton, Qt::NoModifier);
    refused.accept();
    QApplication::sendEvent(w.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/a/x.txt"), QUrl::fromLocalFile("/a/Post Eingang/y.KQV")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_EQ(rec_.shown, QStringList{"/a/Post Eingang/y.KQV"});
}

TEST_F(MainWindowTest, OpenDialogWithAWrongExtensionKeepsTheCurrentMail) {
    auto w = Make({"viewer", "/post/A.kqv"});
    w->show();
    rec_.dialogAnswer = "/post/brief.eml";
    w->Dateiffnen1Click();
    EXPECT_EQ(rec_.messages,
              QStringList{"Mit diesem Betrachter können nur Merivo Emails angezeigt werden (*.kqv)!"});
    EXPECT_EQ(rec_.shown, QStringList{"/post/A.kqv"});
    EXPECT_EQ(Status(*w), "/post/A.kqv");

    rec_.dialogAnswer = std::nullopt;  // cancelled
    w->Dateiffnen1Click();
    EXPECT_EQ(rec_.shown.size(), 1);

    rec_.dialogAnswer = "/post/C.Kqv";
    w->Dateiffnen1Click();
    EXPECT_EQ(rec_.shown.back(), "/post/C.Kqv");
    EXPECT_EQ(Status(*w), "/post/C.Kqv");
}

TEST_F(MainWindowTest, StatusBarSaysWhileAMailIsBeingRead) {
    auto w = Make({"viewer", "/post/A.kqv"});
    w->show();
    auto* note = w->findChild<QLabel*>("lblMailWirdGelesen");
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisible());
    w->ShowMailBeingRead(true);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "Mail wird gelesen …");
    EXPECT_EQ(Status(*w), "/post/A.kqv");
    w->ShowMailBeingRead(false);
    EXPECT_FALSE(note->isVisible());
}

TEST_F(MainWindowTest, OpenDialogStartsInTheFolderOfTheMailShown) {
    QTemporaryDir post;
    auto w = Make({"viewer", post.filePath("brief.txt")});
    w->show();
    rec_.dialogAnswer = post.filePath("A.kqv");
    w->Dateiffnen1Click();
    w->Dateiffnen1Click();
    EXPECT_EQ(rec_.dialogFolders, (QStringList{QDir::homePath(), post.path()}));
}

TEST_F(MainWindowTest, RegistrationShowsItsMessage) {
    auto w = Make({"viewer"});
    w->RegisterFileTypeClick();
    w->RegisterFileTypeClick();
    EXPECT_EQ(rec_.registrations, 2);
    EXPECT_EQ(rec_.messages.size(), 2);
}

TEST_F(MainWindowTest, NextAndPreviousMailWalkTheFolderAsAFileManagerSorts) {
    QTemporaryDir post;
    for (const char* name : {"Mail 10.kqv", "mail 2.KQV", "Mail 1.kqv", "notiz.txt", "alt.kqv.bak", "Z.kqv"}) {
        QFile f(post.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir().mkdir(post.filePath("ordner.kqv"));
    auto w = Make({"viewer", post.filePath("mail 2.KQV")});
    w->show();
    auto* position = w->findChild<QLabel*>("lblMailPosition");
    EXPECT_EQ(position->text(), "2 von 4");
    w->StepMail(1);
    w->StepMail(1);
    w->StepMail(1);  // past the end: nothing
    w->StepMail(-1);
    EXPECT_EQ(rec_.shown, (QStringList{post.filePath("mail 2.KQV"), post.filePath("Mail 10.kqv"),
                                       post.filePath("Z.kqv"), post.filePath("Mail 10.kqv")}));
    EXPECT_EQ(position->text(), "3 von 4");
    EXPECT_EQ(Status(*w), post.filePath("Mail 10.kqv"));
    // A mail that vanished keeps its place between its neighbours.
    QFile::remove(post.filePath("Mail 10.kqv"));
    w->StepMail(-1);
    EXPECT_EQ(rec_.shown.back(), post.filePath("mail 2.KQV"));
}

TEST_F(MainWindowTest, BeendenClosesTheWindow) {
    auto w = Make({"viewer"});
    w->show();
    w->Beenden1Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->acceptDrops());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever the program might write into the user's settings lands here.
    QTemporaryDir config(QDir::tempPath() + "/shell_qt_config-XXXXXX");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    MerivoApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
