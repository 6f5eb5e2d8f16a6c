#pragma once
// A TformMailansehen with recording collaborators, shown offscreen, and the
// waits the web view needs.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "view/qt/mail_text_view.h"
#include "view/qt/mail_view_form.h"
#include "view/qt/mail_web_page.h"
#include "view/qt/qt_text.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace viewqt {

constexpr int kWebTimeoutMs = 15000;

inline QString DataFile(const QString& name) { return QStringLiteral(KQV_TEST_DATA_DIR "/view_qt/") + name; }

class FormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        view::SetTempDir(view::qt::QStringToPath(root.filePath(QStringLiteral("Temp"))));
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("mails"))));
        settings = std::make_unique<QSettings>(root.filePath(QStringLiteral("settings.conf")), QSettings::IniFormat);
        form = std::make_unique<TformMailansehen>(nullptr, Services());
        form->resize(900, 700);
        form->show();
    }
    void TearDown() override { form.reset(); }

    view::qt::MailViewServices Services() {
        view::qt::MailViewServices services;
        services.boxes = &boxes;
        services.saveDialog = &saveDialog;
        services.shell = &shell;
        services.settings = settings.get();
        services.chooseFolder = [this](QWidget*) { return folderAnswer; };
        services.choosePdfPath = [this](QWidget*, const QString& proposed) {
            pdfProposals << proposed;
            return pdfAnswer;
        };
        return services;
    }

    using Replacements = QList<QPair<QByteArray, QByteArray>>;

    // A copy of a test mail in the scratch folder, placeholders replaced.
    QString CopyMail(const QString& name, const Replacements& replacements = {}) {
        QFile source(DataFile(name));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly)) << name.toStdString();
        QByteArray bytes = source.readAll();
        for (const auto& [placeholder, value] : replacements) bytes.replace(placeholder, value);
        return WriteMail(name, bytes);
    }

    // A mail of these bytes in the scratch folder; its path.
    QString WriteMail(const QString& name, const QByteArray& bytes) {
        const QString path = root.filePath(QStringLiteral("mails/") + name);
        QFile target(path);
        EXPECT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(bytes);
        return path;
    }

    void Show(const QString& name, const Replacements& replacements = {}) {
        form->SetMailFileName(CopyMail(name, replacements));
        ChangeMailAndWait();
    }
    // ChangeMail reads in the background; the tests look at what it showed.
    void ChangeMailAndWait() {
        form->ChangeMail();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }, kWebTimeoutMs));
    }

    view::qt::MailWebPage& Page() { return *form->WebPage(); }

    QUrl HtmlTempUrl() { return QUrl::fromLocalFile(view::qt::PathToQString(form->Core().HtmlTempFileName())); }

    // Until the page on show is the mail's HTML file, fully loaded.
    bool WaitForMailPage() {
        const QUrl expected = HtmlTempUrl();
        return QTest::qWaitFor([&] { return Page().url() == expected && !Page().isLoading(); }, kWebTimeoutMs);
    }

    QString PageText() {
        QString text;
        bool done = false;
        Page().toPlainText([&](const QString& t) {
            text = t;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, kWebTimeoutMs));
        return text;
    }

    template <typename T>
    T* Child(const char* name) {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTabWidget& Pages() { return *form->pcMailAnsicht(); }
    bool TabVisible(view::Page page) { return Pages().isTabVisible(static_cast<int>(page)); }
    QString FrontPage() { return Pages().currentWidget()->objectName(); }

    QTemporaryDir root;
    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog saveDialog;
    view::RecordingShell shell;
    std::unique_ptr<QSettings> settings;
    std::optional<QString> folderAnswer;
    std::optional<QString> pdfAnswer;
    QStringList pdfProposals;
    std::unique_ptr<TformMailansehen> form;
};

}  // namespace viewqt
