// The widgets of the mail view: layout, what ChangeMail puts into them,
// the attachment actions and the life of the controls in a host window.
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <cstdlib>
#include <ctime>

#include "view_qt_test_support.h"

namespace {

using view::MessageBoxKind;
using view::Page;
using view::ShellOpenResult;
using viewqt::FormFixture;

// Pins the time zone for the date line and restores it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old, hadValue_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadValue_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool hadValue_ = false;
};

QStringList ListLines(QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
    return lines;
}

class MailViewForm : public FormFixture {
protected:
    QString Text(const char* name) { return Child<view::qt::MailTextView>(name)->ToPlainText(); }
};

TEST_F(MailViewForm, ControlsCarryTheirNamesSizesAndSettings) {
    auto* panelOben = Child<QWidget>("panelOben");
    ASSERT_EQ(panelOben, form->panelOben());
    EXPECT_EQ(panelOben->height(), 141);
    EXPECT_EQ(panelOben->layout()->contentsMargins(), QMargins(8, 8, 8, 8));

    for (const char* name : {"memoHeader1", "memoHeader2"}) {
        SCOPED_TRACE(name);
        auto* memo = Child<QPlainTextEdit>(name);
        ASSERT_NE(memo, nullptr);
        EXPECT_TRUE(panelOben->isAncestorOf(memo));
        EXPECT_TRUE(memo->isReadOnly());
        EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_TRUE(memo->font().bold());
    }
    EXPECT_EQ(Child<QWidget>("memoHeader1")->width(), 81);
    // Full width where there is room (the form is 900 wide).
    EXPECT_EQ(Child<QWidget>("memoHeader2")->width(), 760);

    auto* subject = Child<QLabel>("panelBetreff");
    EXPECT_EQ(subject->height(), 33);
    EXPECT_EQ(subject->textFormat(), Qt::PlainText);
    EXPECT_TRUE(subject->alignment() & Qt::AlignLeft);
    EXPECT_EQ(subject->geometry().bottom(), panelOben->height() - 8 - 1);

    QTabWidget& pages = Pages();
    EXPECT_EQ(pages.objectName(), "pcMailAnsicht");
    const QStringList names{"tsText", "tsHTML", "tsAnlagen", "tsMailheader"};
    const QStringList captions{"Textansicht", "HTML-Ansicht", "Anlagen", "Mail Header"};
    ASSERT_EQ(pages.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pages.widget(i)->objectName(), names[i]);
        EXPECT_EQ(pages.tabText(i), captions[i]);
    }

    for (const char* name : {"reNachricht", "memoHeader"}) {
        SCOPED_TRACE(name);
        auto* edit = Child<view::qt::MailTextView>(name);
        EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
    EXPECT_TRUE(Child<QWidget>("tsHTML")->isAncestorOf(Child<QWidget>("WebBrowser1")));
    EXPECT_TRUE(Child<QWidget>("panelExterneInhalte")->isHidden());

    // The attachment page has to be on show for its layout.
    pages.setTabVisible(2, true);
    pages.setCurrentIndex(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(Child<QWidget>("panelTSAnlagenLinks")->width(), 165);
    EXPECT_EQ(Child<QWidget>("panelTSAnlagenLinksUnten")->height(), 46);
    EXPECT_EQ(Child<QWidget>("panelTSAnlagenAbstand")->width(), 9);
    EXPECT_EQ(Child<QListWidget>("lbAnlagen")->selectionMode(), QAbstractItemView::SingleSelection);
    auto* save = Child<QPushButton>("btnAnlageSpeichern");
    EXPECT_EQ(save->text(), "Anlage extern speichern");
    EXPECT_EQ(save->geometry(), QRect(4, 8, 157, 25));
}

TEST_F(MailViewForm, PlainMailFillsHeaderSubjectTextAndRawHeader) {
    ScopedTimeZone berlin("Europe/Berlin");
    Show("plain_latin1.kqv");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Child<QPlainTextEdit>("memoHeader1")->toPlainText(),
              "Von:\n \n \nAn:\n \n \nGesendet:\nAntwort an:");
    EXPECT_EQ(Child<QPlainTextEdit>("memoHeader2")->toPlainText(),
              QString::fromUtf8("joerg@example.org\nJörg Müller\n \nanna@example.org, bert@example.org\nAnna\n \n"
                                "06.12.2026 18:59:18\nantwort@example.org"));
    // Markup in a subject is shown as it stands.
    EXPECT_EQ(Child<QLabel>("panelBetreff")->text(), "Betreff: Bericht <b>fett</b> & mehr");
    EXPECT_EQ(Text("reNachricht"), QString::fromUtf8("Grüße aus Köln\nZweite Zeile"));
    const QString raw = Text("memoHeader");
    EXPECT_TRUE(raw.startsWith("\n*********************************************************\n"
                               "*********     Header der Nachricht      *****************\n"))
        << raw.toStdString();
    EXPECT_TRUE(raw.contains("\nSubject=Bericht <b>fett</b> & mehr\n")) << raw.toStdString();

    EXPECT_TRUE(TabVisible(Page::tsText));
    EXPECT_FALSE(TabVisible(Page::tsHTML));
    EXPECT_FALSE(TabVisible(Page::tsAnlagen));
    EXPECT_TRUE(TabVisible(Page::tsMailheader));
    EXPECT_EQ(FrontPage(), "tsText");
}

TEST_F(MailViewForm, MixedMailShowsHtmlInFrontAndListsTheAttachment) {
    Show("mixed_html.kqv");
    EXPECT_EQ(Text("reNachricht"), QString::fromUtf8("Grüße im Klartext"));
    // The inline image with a content id is stored for the page, not listed.
    EXPECT_EQ(ListLines(*Child<QListWidget>("lbAnlagen")), QStringList{"notiz.txt"});
    EXPECT_EQ(Child<QListWidget>("lbAnlagen")->selectedItems().size(), 0);
    EXPECT_TRUE(TabVisible(Page::tsHTML));
    EXPECT_TRUE(TabVisible(Page::tsAnlagen));
    EXPECT_EQ(FrontPage(), "tsHTML");
}

TEST_F(MailViewForm, NextMailHidesPagesItDoesNotNeed) {
    Show("mixed_html.kqv");
    Show("plain_latin1.kqv");
    EXPECT_EQ(Child<QListWidget>("lbAnlagen")->count(), 0);
    EXPECT_FALSE(TabVisible(Page::tsHTML));
    EXPECT_FALSE(TabVisible(Page::tsAnlagen));
    EXPECT_EQ(FrontPage(), "tsText");
}

TEST_F(MailViewForm, MailThatCannotBeLoadedIsReportedAndTheHeaderStays) {
    Show("plain_latin1.kqv");
    form->SetMailFileName(root.filePath("mails/fehlt.kqv"));
    ChangeMailAndWait();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, MessageBoxKind::mbError);
    EXPECT_EQ(boxes.boxes[0].text, "Fehler beim \xD6" "ffnen der Mail!");
    EXPECT_EQ(Text("reNachricht"), "");
    EXPECT_EQ(Child<QLabel>("panelBetreff")->text(), "Betreff: Bericht <b>fett</b> & mehr");
    EXPECT_EQ(FrontPage(), "tsText");
}

class AttachmentActions : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        Show("mixed_html.kqv");
        Pages().setCurrentIndex(static_cast<int>(Page::tsAnlagen));
        list = Child<QListWidget>("lbAnlagen");
    }
    void DoubleClickLine(int row) {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QListWidget* list = nullptr;
};

TEST_F(AttachmentActions, SaveWithoutSelectionAsksNothing) {
    Child<QPushButton>("btnAnlageSpeichern")->click();
    EXPECT_TRUE(saveDialog.proposals.empty());
}

TEST_F(AttachmentActions, SaveWritesTheSelectedAttachmentWhereTheUserChose) {
    const std::string target = view::qt::QStringToPath(root.filePath("gespeichert.txt"));
    saveDialog.answers.push_back(target);
    list->setCurrentRow(0);
    Child<QPushButton>("btnAnlageSpeichern")->click();
    EXPECT_EQ(saveDialog.proposals, std::vector<std::string>{"notiz.txt"});
    QFile saved(view::qt::PathToQString(target));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("Notizinhalt"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AttachmentActions, FailedSaveIsShownNotThrown) {
    saveDialog.answers.push_back(view::qt::QStringToPath(root.filePath("fehlt/ordner/x.txt")));
    list->setCurrentRow(0);
    Child<QPushButton>("btnAnlageSpeichern")->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, MessageBoxKind::mbError);
    EXPECT_EQ(boxes.boxes[0].text, "Fehler beim Speichern der Anlage.");
}

TEST_F(AttachmentActions, DoubleClickOpensTheCopyInTempDir) {
    DoubleClickLine(0);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"open " + view::TempDir() + "Anlagen/00001/notiz.txt"});
}

TEST_F(AttachmentActions, DoubleClickOffersAProgramWhenNoneIsAssociated) {
    shell.openResult = ShellOpenResult::soNoAssociation;
    DoubleClickLine(0);
    const std::string path = view::TempDir() + "Anlagen/00001/notiz.txt";
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"open " + path, "choose " + path}));
}

// The main window takes the header area and the pages; either side may be
// destroyed first.
class HostedControls : public FormFixture {
protected:
    void Host() {
        host = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(host.get());
        layout->addWidget(form->panelOben());
        layout->addWidget(form->pcMailAnsicht(), 1);
        host->resize(900, 700);
        host->show();
    }
    std::unique_ptr<QWidget> host;
};

TEST_F(HostedControls, FilesDroppedOnTheMailReachTheHost) {
    Host();
    host->setAcceptDrops(true);
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    auto* view = host->findChild<QWidget*>("WebBrowser1");
    ASSERT_NE(view, nullptr);
    const QPoint inside = view->mapTo(host.get(), view->rect().center());
    QWidget* target = host->childAt(inside);
    ASSERT_NE(target, nullptr);
    // The widget a drop goes to is the first one up from the point that
    // takes drops.
    while (target && !target->acceptDrops()) target = target->parentWidget();
    EXPECT_EQ(target, host.get());
}

TEST_F(HostedControls, HostDestroyedFirst) {
    Host();
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    EXPECT_EQ(Pages().window(), host.get());
    const QString page = view::qt::PathToQString(form->Core().HtmlTempFileName());
    host.reset();
    EXPECT_EQ(form->pcMailAnsicht(), nullptr);
    EXPECT_EQ(form->panelOben(), nullptr);
    // A mail shown without its controls does no harm.
    Show("plain_latin1.kqv");
    form.reset();
    EXPECT_FALSE(QFile::exists(page));
}

TEST_F(HostedControls, FormDestroyedFirstTakesItsControlsAlong) {
    Host();
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    const QString page = view::qt::PathToQString(form->Core().HtmlTempFileName());
    ASSERT_TRUE(QFile::exists(page));
    form.reset();
    EXPECT_EQ(host->findChild<QTabWidget*>("pcMailAnsicht"), nullptr);
    EXPECT_EQ(host->findChild<QWidget*>("panelOben"), nullptr);
    EXPECT_FALSE(QFile::exists(page));
}

}  // namespace
