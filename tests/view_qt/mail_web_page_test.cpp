// What a mail can do in the HTML view: which page it shows, which requests
// it may make, where its links go.
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

#include "platform/files.h"
#include "view/link_policy.h"
#include "view/page_files.h"
#include "view_qt_test_support.h"

namespace {

using view::qt::DecideResourceRequest;
using view::qt::MailWebPage;
using view::qt::RequestDecision;
using viewqt::FormFixture;
using viewqt::kWebTimeoutMs;

TEST(ResourceRequests, AllowOnlyThePagesOwnFilesAndInlineSchemesUntilRemoteIsAllowed) {
    QTemporaryDir root;
    const std::string temp = view::qt::QStringToPath(root.path()) + "/Temp/";
    const std::string folder = temp + "Mail00002/";
    ASSERT_TRUE(QDir().mkpath(view::qt::PathToQString(folder)));
    for (const char* name : {"MailViewerTemp00001.HTML", "bild1@example.org", "doc.xml", "nicht eingetragen.png"})
        platform::WriteWholeFile(folder + name, "x", 0600);
    platform::WriteWholeFile(temp + "alt.png", "x", 0600);
    ASSERT_EQ(::symlink((folder + "doc.xml").c_str(), (folder + "link.png").c_str()), 0);
    view::PageFiles files(folder);
    files.Add("MailViewerTemp00001.HTML", view::PageFileUse::pfDocument);
    files.Add("bild1@example.org", view::PageFileUse::pfDocument);
    files.Add("doc.xml", view::PageFileUse::pfResource);
    files.Add("link.png", view::PageFileUse::pfDocument);

    using Info = QWebEngineUrlRequestInfo;
    constexpr auto kAllow = RequestDecision::rdAllow;
    constexpr auto kBlock = RequestDecision::rdBlock;
    constexpr auto kRemote = RequestDecision::rdBlockRemote;
    struct Row {
        const char* name;
        std::string url;
        Info::ResourceType type;
        RequestDecision blocked;  // remote content not allowed
        RequestDecision allowed;  // remote content allowed
    };
    const std::string f = "file://" + folder;
    const Row rows[] = {
        {"page itself", f + "MailViewerTemp00001.HTML", Info::ResourceTypeMainFrame, kAllow, kAllow},
        {"image by content id", f + "bild1@example.org", Info::ResourceTypeImage, kAllow, kAllow},
        {"image shown as a document", f + "bild1@example.org", Info::ResourceTypeMainFrame, kAllow, kAllow},
        {"escaped name", f + "bild1%40example.org", Info::ResourceTypeImage, kAllow, kAllow},
        {"xml file as an image", f + "doc.xml", Info::ResourceTypeImage, kAllow, kAllow},
        {"xml file in a frame", f + "doc.xml", Info::ResourceTypeSubFrame, kBlock, kBlock},
        {"xml file as an object", f + "doc.xml", Info::ResourceTypeObject, kBlock, kBlock},
        {"xml file loaded by a style sheet", f + "doc.xml", Info::ResourceTypeSubResource, kBlock, kBlock},
        {"file the page did not write", f + "nicht%20eingetragen.png", Info::ResourceTypeImage, kBlock, kBlock},
        {"link to a resource", f + "link.png", Info::ResourceTypeSubFrame, kBlock, kBlock},
        {"another file in TempDir", "file://" + temp + "alt.png", Info::ResourceTypeImage, kBlock, kBlock},
        {"dot-dot to another file", f + "../alt.png", Info::ResourceTypeImage, kBlock, kBlock},
        {"the folder itself", f, Info::ResourceTypeSubFrame, kBlock, kBlock},
        {"outside TempDir", "file:///etc/passwd", Info::ResourceTypeImage, kBlock, kBlock},
        {"other host", "file://server" + folder + "bild1@example.org", Info::ResourceTypeImage, kBlock, kBlock},
        {"about", "about:blank", Info::ResourceTypeSubFrame, kAllow, kAllow},
        {"data image", "data:image/png;base64,iVBORw0KGgo=", Info::ResourceTypeImage, kAllow, kAllow},
        {"data frame", "data:text/xml,<a/>", Info::ResourceTypeSubFrame, kBlock, kBlock},
        {"http", "http://127.0.0.1:9/x.png", Info::ResourceTypeImage, kRemote, kAllow},
        {"https upper case", "HTTPS://example.com/x.css", Info::ResourceTypeStylesheet, kRemote, kAllow},
        {"ftp", "ftp://example.com/x", Info::ResourceTypeImage, kRemote, kAllow},
        {"websocket", "wss://example.com/s", Info::ResourceTypeWebSocket, kRemote, kAllow},
        {"browser internals", "chrome://settings", Info::ResourceTypeSubFrame, kBlock, kBlock},
        {"unknown scheme", "gopher://example.com/", Info::ResourceTypeImage, kBlock, kBlock},
        {"blob", "blob:file:///x", Info::ResourceTypeImage, kBlock, kBlock},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(row.url));
        EXPECT_EQ(DecideResourceRequest(url, row.type, &files, false), row.blocked);
        EXPECT_EQ(DecideResourceRequest(url, row.type, &files, true), row.allowed);
    }
    EXPECT_EQ(DecideResourceRequest(QUrl::fromEncoded(QByteArray::fromStdString(f + "MailViewerTemp00001.HTML")),
                                    Info::ResourceTypeMainFrame, nullptr, false),
              kBlock);
}

class MailWebView : public FormFixture {
protected:
    // Until the page decided a navigation to url; returns whether it was
    // accepted (false also when it never came).
    bool NavigationDecision(QSignalSpy& spy, const QUrl& url) {
        bool accepted = false;
        const bool seen = QTest::qWaitFor(
            [&] {
                for (const QList<QVariant>& call : spy)
                    if (call.at(0).toUrl() == url) {
                        accepted = call.at(1).toBool();
                        return true;
                    }
                return false;
            },
            kWebTimeoutMs);
        EXPECT_TRUE(seen) << "no decision about " << url.toString().toStdString();
        return accepted;
    }

    QWidget& Bar() { return *Child<QWidget>("panelExterneInhalte"); }
};

TEST_F(MailWebView, PageIsHardened) {
    QWebEngineSettings& settings = *Page().settings();
    EXPECT_TRUE(Page().profile()->isOffTheRecord());
    EXPECT_EQ(Page().profile()->httpCacheType(), QWebEngineProfile::MemoryHttpCache);
    for (const auto attribute :
         {QWebEngineSettings::JavascriptEnabled, QWebEngineSettings::JavascriptCanOpenWindows,
          QWebEngineSettings::PluginsEnabled, QWebEngineSettings::LocalStorageEnabled,
          QWebEngineSettings::HyperlinkAuditingEnabled,
          QWebEngineSettings::DnsPrefetchEnabled, QWebEngineSettings::NavigateOnDropEnabled}) {
        SCOPED_TRACE(attribute);
        EXPECT_FALSE(settings.testAttribute(attribute));
    }
    EXPECT_EQ(settings.unknownUrlSchemePolicy(), QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
}

TEST_F(MailWebView, ShowsTheMailsHtmlFileWithTheContentIdImage) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    EXPECT_EQ(Child<QWebEngineView>("WebBrowser1")->url(), HtmlTempUrl());
    // Converted from UTF-8: the file says so with its byte order mark.
    EXPECT_TRUE(PageText().startsWith(QString::fromUtf8("Grüße in HTML"))) << PageText().toStdString();
    // The content-id image lies in TempDir: nothing was refused.
    EXPECT_FALSE(Page().RemoteContentBlocked());
    EXPECT_TRUE(Bar().isHidden());
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(MailWebView, PageWithoutCharsetReadsAsWindows1252) {
    Show("html_latin1.kqv");
    ASSERT_TRUE(WaitForMailPage());
    EXPECT_EQ(PageText(), QString::fromUtf8("Grüße für 5 €"));
}

TEST_F(MailWebView, RemoteImageWaitsUntilTheUserAllowsIt) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    Show("remote_image.kqv", {{"@PORT@", QByteArray::number(server.serverPort())}});
    ASSERT_TRUE(WaitForMailPage());
    EXPECT_EQ(PageText(), "Bild von draussen");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Bar().isHidden(); }, kWebTimeoutMs));
    EXPECT_TRUE(Page().RemoteContentBlocked());
    EXPECT_EQ(Child<QLabel>("lblExterneInhalte")->text(), "Externe Inhalte wurden blockiert.");
    // The page has finished loading: a request would have come by now.
    QTest::qWait(200);
    EXPECT_FALSE(server.hasPendingConnections());

    auto* load = Child<QPushButton>("btnExterneInhalteLaden");
    EXPECT_EQ(load->text(), "Externe Inhalte laden");
    load->click();
    EXPECT_TRUE(Bar().isHidden());
    EXPECT_TRUE(Page().RemoteContentAllowed());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, kWebTimeoutMs));
    server.nextPendingConnection()->close();

    // Allowed only for that mail.
    Show("mixed_html.kqv");
    EXPECT_FALSE(Page().RemoteContentAllowed());
    ASSERT_TRUE(WaitForMailPage());
    EXPECT_FALSE(Page().RemoteContentAllowed());
}

// An image without size attributes makes the page as tall as itself when
// it loads: whether a file was read shows without scripts.
class LocalImages : public MailWebView {
protected:
    static QImage Tall() {
        QImage tall(10, 2000, QImage::Format_RGB32);
        tall.fill(Qt::gray);
        return tall;
    }
    qreal PageHeightWithImageAt(const QString& imagePath) {
        EXPECT_TRUE(QDir().mkpath(QFileInfo(imagePath).absolutePath()));
        EXPECT_TRUE(Tall().save(imagePath, "PNG"));
        return PageHeightOf("local_image.kqv", {{"@IMAGE@", QUrl::fromLocalFile(imagePath).toEncoded()}});
    }
    qreal PageHeightOf(const QString& mail, const Replacements& replacements) {
        Show(mail, replacements);
        EXPECT_TRUE(WaitForMailPage());
        // The page has loaded: a refused image leaves it as tall as the view.
        (void)QTest::qWaitFor([&] { return Page().contentsSize().height() >= 2000; }, 1000);
        return Page().contentsSize().height();
    }
};

TEST_F(LocalImages, ContentIdImageOfTheMailLoads) {
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && Tall().save(&buffer, "PNG"));
    const QByteArray base64 = png.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < base64.size(); i += 76) lines += base64.mid(i, 76) + "\r\n";
    EXPECT_GE(PageHeightOf("cid_tall_image.kqv", {{"@PNG@", lines.trimmed()}}), 2000);
}

TEST_F(LocalImages, ImageElsewhereInTempDirIsRefused) {
    EXPECT_LT(PageHeightWithImageAt(view::qt::PathToQString(view::TempDir()) + "hoch.png"), 1000);
}

TEST_F(LocalImages, ImageOutsideTempDirIsRefused) {
    EXPECT_LT(PageHeightWithImageAt(root.filePath(QStringLiteral("mails/hoch.png"))), 1000);
    EXPECT_FALSE(Page().RemoteContentBlocked());
}

TEST_F(MailWebView, WebAddressGoesToTheDesktopAndTheMailStays) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl link(QStringLiteral("https://example.com/x?a=1&b=%C3%A4"));
    Page().load(link);
    EXPECT_FALSE(NavigationDecision(decisions, link));
    EXPECT_EQ(shell.calls, std::vector<std::string>{"url https://example.com/x?a=1&b=%C3%A4"});
    EXPECT_EQ(Page().url(), HtmlTempUrl());
    EXPECT_TRUE(PageText().startsWith(QString::fromUtf8("Grüße in HTML")));
}

TEST_F(MailWebView, LocalFileOutsideTempDirIsRefusedQuietly) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl outside = QUrl::fromLocalFile(root.filePath(QStringLiteral("mails/mixed_html.kqv")));
    Page().load(outside);
    EXPECT_FALSE(NavigationDecision(decisions, outside));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(Page().url(), HtmlTempUrl());
}

TEST_F(MailWebView, FileInsideTempDirIsShownInTheView) {
    Show("mixed_html.kqv");
    ASSERT_TRUE(WaitForMailPage());
    ASSERT_EQ(form->Core().CidFiles().size(), 1u);
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl image = QUrl::fromLocalFile(view::qt::PathToQString(form->Core().CidFiles()[0]));
    Page().load(image);
    EXPECT_TRUE(NavigationDecision(decisions, image));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Page().url() == image; }, kWebTimeoutMs));
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(MailWebView, RefreshToAnAddressNeitherLeavesNorOpensTheBrowser) {
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    Show("meta_refresh.kqv");
    const QUrl target(QStringLiteral("https://example.org/weg"));
    EXPECT_FALSE(NavigationDecision(decisions, target));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(Page().url(), HtmlTempUrl());
    EXPECT_EQ(PageText(), "Bleibt hier");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Bar().isHidden(); }, kWebTimeoutMs));
}

class LinkClicks : public MailWebView {
protected:
    void SetUp() override {
        MailWebView::SetUp();
        Show(Mail());
        ASSERT_TRUE(WaitForMailPage());
        // Input reaches the page once its first frame is drawn.
        QWidget* view = Child<QWidget>("WebBrowser1");
        target = view->focusProxy() ? view->focusProxy() : view;
        QTest::qWait(300);
    }
    virtual QString Mail() const { return QStringLiteral("links.kqv"); }
    void ClickAt(int y) { QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(40, y)); }
    QWidget* target = nullptr;
};

TEST_F(LinkClicks, ClickedWebLinkOpensOutside) {
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl link(QStringLiteral("https://example.com/hier"));
    ClickAt(50);
    EXPECT_FALSE(NavigationDecision(decisions, link));
    EXPECT_EQ(shell.calls, std::vector<std::string>{"url https://example.com/hier"});
    EXPECT_EQ(Page().url(), HtmlTempUrl());
}

TEST_F(LinkClicks, LinkForANewWindowOpensOutsideToo) {
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl link(QStringLiteral("https://example.com/neu"));
    ClickAt(150);
    EXPECT_FALSE(NavigationDecision(decisions, link));
    EXPECT_EQ(shell.calls, std::vector<std::string>{"url https://example.com/neu"});
    EXPECT_EQ(Page().url(), HtmlTempUrl());
}

// Links of other schemes the desktop handles, and a form.
class OtherClicks : public LinkClicks {
protected:
    QString Mail() const override { return QStringLiteral("schemes.kqv"); }
};

TEST_F(OtherClicks, MailNewsAndFtpLinksGoToTheDesktop) {
    const std::vector<std::string> expected = {"url mailto:anna@example.org?subject=Hallo",
                                               "url news:de.comp.lang.misc", "url ftp://ftp.example.org/pub/"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ClickAt(50 + 100 * static_cast<int>(i));
        EXPECT_TRUE(QTest::qWaitFor([&] { return shell.calls.size() > i; }, kWebTimeoutMs)) << expected[i];
    }
    EXPECT_EQ(shell.calls, expected);
    EXPECT_EQ(Page().url(), HtmlTempUrl());
}

TEST_F(OtherClicks, FormIsNeverSent) {
    QSignalSpy decisions(&Page(), &MailWebPage::navigationDecided);
    const QUrl submission(QStringLiteral("https://example.com/senden?q=geheim"));
    ClickAt(350);
    EXPECT_FALSE(NavigationDecision(decisions, submission));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(Page().url(), HtmlTempUrl());
}

}  // namespace
