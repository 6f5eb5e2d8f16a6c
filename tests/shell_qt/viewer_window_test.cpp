// The main window around the real mail view.
#include "shell/qt/main_window.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

#include "shell/registration/file_type_registrar.h"
#include "view/qt/elided_label.h"
#include "view/qt/find_bar.h"
#include "view/qt/mail_view_form.h"
#include "view/qt/qt_text.h"
#include "view/temp_dir.h"

namespace {

class ViewerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        view::SetTempDir(view::qt::QStringToPath(root_.filePath("Temp")));
        view_ = std::make_unique<TformMailansehen>();
        MainWindowPorts ports;
        ports.findBar = view_->panelSuchen();
        ports.viewCommands = &view_->Commands();
        ports.showMail = [this](const QString& path) {
            view_->SetMailFileName(path);
            view_->ChangeMail();
        };
        window_ = std::make_unique<TformMailViewer>(view_->panelOben(), view_->pcMailAnsicht(),
                                                    QStringList{"viewer"}, std::move(ports));
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        view_.reset();
    }

    // The view reads in the background; the tests look at what it showed.
    void Drop(const QString& path) {
        window_->DropFiles({path});
        EXPECT_TRUE(QTest::qWaitFor([this] { return !view_->Reading(); }, 15000));
    }

    QString MailWithSubject(const QByteArray& subject) {
        const QString path = root_.filePath("betreff.kqv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("From: a@example.org\r\nSubject: " + subject + "\r\n\r\nText\r\n");
        return path;
    }

    QTemporaryDir root_;
    std::unique_ptr<TformMailansehen> view_;
    std::unique_ptr<TformMailViewer> window_;
};

TEST_F(ViewerWindow, NoSubjectWidensTheWindow) {
    Drop(MailWithSubject("kurz"));
    const QSize minimum = window_->minimumSizeHint();
    ASSERT_LT(minimum.width(), 787);
    auto* subject = window_->findChild<view::qt::ElidedLabel*>("panelBetreff");
    ASSERT_NE(subject, nullptr);
    for (const int length : {190, 130000}) {
        SCOPED_TRACE(length);
        const QByteArray text = QByteArray("Ab").repeated(length / 2);
        Drop(MailWithSubject(text));
        EXPECT_EQ(window_->size(), QSize(787, 536));
        EXPECT_EQ(window_->minimumSizeHint(), minimum);
        EXPECT_TRUE(subject->ShownText().endsWith(QChar(0x2026)));
        EXPECT_TRUE(subject->toolTip().contains(QString(text.left(1000)))) << subject->toolTip().size();
    }
}

TEST_F(ViewerWindow, FirstMailKeepsTheNativeWindow) {
    // Offscreen windows have no graphics surface to change.
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs X; viewer_under_xvfb runs it";
    QTest::qWait(300);
    const QWindow* before = window_->windowHandle();
    const WId id = window_->winId();
    window_->DropFiles({QStringLiteral(KQV_EXAMPLE_MAIL)});
    QTest::qWait(1500);
    EXPECT_EQ(window_->windowHandle(), before);
    EXPECT_EQ(window_->winId(), id);
}

TEST_F(ViewerWindow, MenusFollowTheThreeCommandsAndEveryKeyIsShown) {
    QStringList entries;
    for (QAction* a : window_->menuBar()->actions()) entries << a->text();
    EXPECT_EQ(entries.mid(0, 3), (QStringList{"Datei öffnen", ".kqv immer mit Mailviewer öffnen", "Beenden"}));
    EXPECT_TRUE(entries.contains("Mail") && entries.contains("Ansicht")) << entries.join('|').toStdString();
    QList<QAction*> inMenus;
    for (QMenu* menu : window_->menuBar()->findChildren<QMenu*>()) inMenus += menu->actions();
    for (QAction* a : window_->findChildren<QAction*>()) {
        if (a->shortcut().isEmpty()) continue;
        const QString key = a->shortcut().toString(QKeySequence::NativeText);
        EXPECT_TRUE(inMenus.contains(a) || a->toolTip().contains(key)) << a->text().toStdString();
    }
    for (const char* name : {"actDrucken", "actAlsPdfSpeichern", "actQuelltext", "actAlleAnlagenSpeichern",
                             "actSuchen", "actVergroessern", "actNaechsteMail", "Dateiffnen1", "Beenden1"}) {
        auto* action = window_->findChild<QAction*>(name);
        if (!action) action = view_->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(inMenus.contains(action)) << name;
    }
}

TEST_F(ViewerWindow, HeadlessPdfExport) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    env.insert("XDG_CACHE_HOME", root_.filePath("cache"));
    auto run = [&](const QStringList& args, QString& err) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KQV_VIEWER_PATH), args);
        p.waitForFinished(120000);
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString err;
    const QString out = root_.filePath("neu/ausgabe");
    EXPECT_EQ(run({"--pdf-dir", out, KQV_EXAMPLE_MAIL, KQV_EXAMPLE_MAIL}, err), 0) << err.toStdString();
    for (const char* name : {"/Beispiel-Protokoll.pdf", "/Beispiel-Protokoll (2).pdf"}) {
        QFile pdf(out + name);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(pdf.read(5) == "%PDF-");
    }

    EXPECT_EQ(run({"--pdf", root_.filePath("x.pdf"), root_.filePath("fehlt.kqv")}, err), 1);
    EXPECT_TRUE(err.contains(QString::fromUtf8("Fehler bei \"") + root_.filePath("fehlt.kqv") +
                             QString::fromUtf8("\": Fehler beim Öffnen der Mail!")))
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(root_.filePath("x.pdf")));
    EXPECT_EQ(run({"--pdf", root_.filePath("x.pdf")}, err), 1);
    EXPECT_TRUE(err.contains("Aufruf: merivo-mailviewer --pdf")) << err.toStdString();
}

}  // namespace
