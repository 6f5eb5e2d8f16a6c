// What the user does with an opened mail: find, zoom, the attachment list's
// extras, the source window, and the document for printing and PDF.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QWebEngineView>

#include "view/qt/find_bar.h"
#include "view/qt/mail_document.h"
#include "view/qt/mail_source_window.h"
#include "view/qt/mail_text_view.h"
#include "view_qt_test_support.h"

namespace {

using view::Page;
using viewqt::FormFixture;

class MailCommands : public FormFixture {
protected:
    QAction* Command(const char* name) { return Child<QAction>(name); }
    view::qt::FindBar& Finder() { return *form->panelSuchen(); }
    QLineEdit& Field() { return *Child<QLineEdit>("edSuchen"); }
    void Search(const QString& text) {
        Command("actSuchen")->trigger();
        Field().setText(text);
        Command("actWeitersuchen")->trigger();
    }
    bool CountIs(const QString& expected) {
        return QTest::qWaitFor([&] { return Finder().CountText() == expected; }, viewqt::kWebTimeoutMs);
    }
    // The text of the first page, or nothing without poppler-utils.
    static std::optional<QString> FirstPageText(const QString& pdf) {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) return std::nullopt;
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static int PageCount(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {pdf});
        p.waitForFinished(30000);
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
            if (line.startsWith(u"Pages:")) return line.mid(6).trimmed().toInt();
        return -1;
    }
};

TEST_F(MailCommands, FindSearchesThePageInFrontAndCounts) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    Search(QString::fromUtf8("grüße"));
    // The HTML page is in front: its own find counts there.
    EXPECT_TRUE(CountIs(QStringLiteral("1 von 1"))) << Finder().CountText().toStdString();

    Pages().setCurrentIndex(static_cast<int>(Page::tsMailheader));
    Search(QStringLiteral("Content-Type"));
    EXPECT_TRUE(CountIs(QStringLiteral("1 von 5"))) << Finder().CountText().toStdString();
    Command("actWeitersuchen")->trigger();
    EXPECT_EQ(Finder().CountText(), "2 von 5");
    Command("actRueckwaertsSuchen")->trigger();
    Command("actRueckwaertsSuchen")->trigger();
    EXPECT_EQ(Finder().CountText(), "5 von 5");
    EXPECT_EQ(Child<view::qt::MailTextView>("memoHeader")->SelectedText(), "Content-Type");
    // Typing on keeps the match on show while it still matches.
    QTest::keyClick(&Field(), Qt::Key_Backspace);
    EXPECT_EQ(Finder().CountText(), "5 von 5");

    Pages().setCurrentIndex(static_cast<int>(Page::tsText));
    Field().setText(QStringLiteral("fehlt"));
    Command("actWeitersuchen")->trigger();
    EXPECT_EQ(Finder().CountText(), "Nicht gefunden");
    QTest::keyClick(&Field(), Qt::Key_Escape);
    EXPECT_TRUE(Finder().isHidden());
}

TEST_F(MailCommands, ZoomCoversTextAndHtmlAndIsKept) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    const qreal textSize = Child<view::qt::MailTextView>("reNachricht")->font().pointSizeF();
    Command("actVergroessern")->trigger();
    Command("actVergroessern")->trigger();
    EXPECT_EQ(form->ZoomPercent(), 125);
    EXPECT_DOUBLE_EQ(Child<view::qt::MailTextView>("reNachricht")->font().pointSizeF(), textSize * 1.25);
    EXPECT_DOUBLE_EQ(Child<view::qt::MailTextView>("memoHeader")->font().pointSizeF(), textSize * 1.25);
    EXPECT_DOUBLE_EQ(Child<QWebEngineView>("WebBrowser1")->zoomFactor(), 1.25);
    // The next mail and the next start keep it.
    Show("plain_latin1.kqv");
    form.reset();
    form = std::make_unique<TformMailansehen>(nullptr, Services());
    EXPECT_EQ(form->ZoomPercent(), 125);
    Command("actOriginalgroesse")->trigger();
    EXPECT_EQ(settings->value("Ansicht/Zoom").toInt(), 100);
}

TEST_F(MailCommands, PageKeysSkipHiddenPages) {
    Show("plain_latin1.kqv");
    Command("actNaechsteSeite")->trigger();
    EXPECT_EQ(FrontPage(), "tsMailheader");
    Command("actNaechsteSeite")->trigger();
    EXPECT_EQ(FrontPage(), "tsText");
    Command("actVorherigeSeite")->trigger();
    EXPECT_EQ(FrontPage(), "tsMailheader");
}

TEST_F(MailCommands, AttachmentListExtras) {
    Show("mixed_html.kqv");
    auto* list = Child<QListWidget>("lbAnlagen");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->toolTip(), QString::fromUtf8("Größe: 13 Bytes\nTyp: text/plain"));

    const std::unique_ptr<QMenu> menu = form->AttachmentMenu(true);
    QStringList entries;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) entries << a->text();
    EXPECT_EQ(entries, (QStringList{"Speichern…", "Öffnen", "Alle Anlagen speichern…"}));

    // Enter opens the selected line like a double click.
    Pages().setCurrentIndex(static_cast<int>(Page::tsAnlagen));
    list->setCurrentRow(0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_TRUE(shell.calls[0].starts_with("open ") && shell.calls[0].ends_with("/notiz.txt"));

    // "Alle Anlagen speichern…": a taken name gets a number; a box reports.
    const QString folder = root.filePath(QStringLiteral("ablage"));
    QDir().mkpath(folder);
    QFile taken(folder + "/notiz.txt");
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    folderAnswer = folder;
    Child<QPushButton>("btnAlleAnlagenSpeichern")->click();
    QFile saved(folder + "/notiz (2).txt");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "Notizinhalt\r\n");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, view::MessageBoxKind::mbInformation);
    EXPECT_EQ(boxes.boxes[0].text, "Es wurde 1 Anlage in \"" + folder.toStdString() + "\" gespeichert.");
}

TEST_F(MailCommands, SourceWindowShowsFindsAndSavesTheStoredBytes) {
    const QString mail = CopyMail(QStringLiteral("plain_latin1.kqv"));
    QString error;
    auto* window = view::qt::MailSourceWindow::Open(mail, nullptr, error);
    ASSERT_NE(window, nullptr);
    std::unique_ptr<QWidget> owner(window);
    auto* text = window->findChild<view::qt::MailTextView*>("memoQuelltext");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->ToPlainText().contains(QString::fromUtf8("Grüße aus Köln")));  // Latin-1 bytes
    window->findChild<QAction*>("actQuelltextSuchen")->trigger();
    window->findChild<QLineEdit*>("edSuchen")->setText(QStringLiteral("example.org"));
    window->Finder()->FindNext();
    EXPECT_EQ(window->Finder()->CountText(), "1 von 5");

    const QString copy = root.filePath(QStringLiteral("quelltext.kqv"));
    ASSERT_TRUE(window->SaveTo(copy, error)) << error.toStdString();
    QFile a(mail), b(copy);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    EXPECT_EQ(view::qt::MailSourceWindow::Open(root.filePath("fehlt.kqv"), nullptr, error), nullptr);
}

TEST(SourceText, LineEndsAndBytesAsStored) {
    struct Case {
        QByteArray stored;
        std::string shown;
    };
    for (const Case& c : std::vector<Case>{
             {"a\r\nb\rc\nd\r\n", "a\nb\nc\nd"},
             {"\r\n\r\n", "\n"},
             {"Gr\xC3\xBC\xC3\x9F" "e", "Grüße"},
             {"Gr\xFC\xDF" "e\x80", "Grüße€"},
         })
        EXPECT_EQ(view::qt::SourceText(c.stored).Utf8(), c.shown) << c.stored.toStdString();
}

TEST_F(MailCommands, PdfOfTheExampleHasHeaderBlockAndBody) {
    form->SetMailFileName(QStringLiteral(KQV_EXAMPLE_MAIL));
    ChangeMailAndWait();
    ASSERT_TRUE(WaitForMailPage());
    const QString pdf = root.filePath(QStringLiteral("beispiel.pdf"));
    pdfAnswer = pdf;
    Command("actAlsPdfSpeichern")->trigger();
    EXPECT_EQ(pdfProposals, QStringList{QString::fromUtf8("Protokoll der Besprechung – Grüße aus Köln.pdf")});
    ASSERT_TRUE(QFile::exists(pdf)) << (boxes.boxes.empty() ? "" : boxes.boxes[0].text);
    const std::optional<QString> page = FirstPageText(pdf);
    if (!page) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    for (const char* expected : {"Von:", "joerg.weiss@merivo.example", "An:", "sabine.mueller@kunde.example",
                                 "Gesendet:", "Betreff:", "Protokoll der Besprechung", "Anlagen:",
                                 "Praesentation.pdf", "anbei das Protokoll unserer Besprechung"})
        EXPECT_TRUE(page->contains(QString::fromUtf8(expected))) << expected << "\n" << page->toStdString();
}

TEST_F(MailCommands, PrintShowsAPreviewAndPrintsTheHtmlPage) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    QString previewName;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            previewName = dialog->objectName() + "|" + dialog->windowTitle();
            dialog->reject();
        }
    });
    closer.start(50);
    Command("actDrucken")->trigger();
    EXPECT_EQ(previewName, "dlgDruckvorschau|Druckvorschau");

    // The HTML page in front reaches the printer as pictures of its pages.
    const auto document = form->CurrentDocument();
    ASSERT_TRUE(document && document->htmlInFront);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = root.filePath(QStringLiteral("gedruckt.pdf"));
    printer.setOutputFileName(pdf);
    QString error;
    const QByteArray htmlPdf =
        view::qt::RenderPdf(*document, printer.pageLayout(), form->WebPage()->profile(), error);
    ASSERT_TRUE(view::qt::PrintDocument(*document, htmlPdf, printer, error)) << error.toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 1000);
}

TEST_F(MailCommands, LongTextMailPrintsOnManyPagesInAFixedFont) {
    QByteArray body;
    for (int i = 1; i <= 600; ++i) body += "Zeile " + QByteArray::number(i) + " des langen Textes\r\n";
    const QString path = WriteMail(QStringLiteral("lang.kqv"),
                                   "From: a@example.org\r\nTo: b@example.org\r\nCc: Carla <c@example.org>\r\n"
                                   "Subject: Lang\r\nDate: Sun, 06 Dec 2026 18:59:18 +0100\r\n\r\n" + body);
    form->SetMailFileName(path);
    ChangeMailAndWait();
    const auto document = form->CurrentDocument();
    ASSERT_TRUE(document);
    EXPECT_FALSE(document->htmlInFront);
    EXPECT_TRUE(document->header.contains(qMakePair(QStringLiteral("Cc:"), QStringLiteral("c@example.org"))));
    QString error;
    const QByteArray bytes = form->DocumentPdf(error);
    ASSERT_FALSE(bytes.isEmpty()) << error.toStdString();
    const QString pdf = root.filePath(QStringLiteral("lang.pdf"));
    ASSERT_TRUE(view::qt::WriteFileAtomically(pdf, bytes, error));
    const std::optional<QString> page = FirstPageText(pdf);
    if (!page) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    EXPECT_TRUE(page->contains(QStringLiteral("Cc:")));
    EXPECT_TRUE(page->contains(QStringLiteral("Zeile 1 des langen Textes")));
    EXPECT_FALSE(page->contains(QStringLiteral("Zeile 600 ")));
    EXPECT_GE(PageCount(pdf), 8);
}

}  // namespace
