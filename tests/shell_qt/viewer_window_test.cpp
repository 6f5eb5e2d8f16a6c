// The main window around the real mail view.
#include "shell/qt/main_window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

#include "shell/registration/file_type_registrar.h"
#include "view/qt/elided_label.h"
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

}  // namespace
