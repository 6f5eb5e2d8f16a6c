// What a mail can do in the HTML view: which page it shows, which requests
// it may make, where its links go.
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "view/link_policy.h"
#include "view_qt_test_support.h"

namespace {

using view::qt::DecideResourceRequest;
using view::qt::MailWebPage;
using view::qt::RequestDecision;
using viewqt::FormFixture;
using viewqt::kWebTimeoutMs;

TEST(ResourceRequests, AllowOnlyTempDirAndInlineSchemesUntilRemoteIsAllowed) {
    const std::string temp = "/tmp/kqv/Temp/";
    struct Row {
        const char* name;
        const char* url;
        RequestDecision blocked;  // remote content not allowed
        RequestDecision allowed;  // remote content allowed
    };
    const Row rows[] = {
        {"page itself", "file:///tmp/kqv/Temp/MailViewerTemp00001.HTML", RequestDecision::rdAllow, RequestDecision::rdAllow},
        {"content-id file", "file:///tmp/kqv/Temp/bild1@example.org", RequestDecision::rdAllow, RequestDecision::rdAllow},
        {"escaped name", "file:///tmp/kqv/Temp/a%20b.png", RequestDecision::rdAllow, RequestDecision::rdAllow},
        {"outside TempDir", "file:///etc/passwd", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"dot-dot out of TempDir", "file:///tmp/kqv/Temp/../secret.txt", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"TempDir's neighbour", "file:///tmp/kqv/Temporary/x.png", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"TempDir itself", "file:///tmp/kqv/Temp/", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"other host", "file://server/tmp/kqv/Temp/x.png", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"about", "about:blank", RequestDecision::rdAllow, RequestDecision::rdAllow},
        {"data", "data:image/png;base64,iVBORw0KGgo=", RequestDecision::rdAllow, RequestDecision::rdAllow},
        {"http", "http://127.0.0.1:9/x.png", RequestDecision::rdBlockRemote, RequestDecision::rdAllow},
        {"https upper case", "HTTPS://example.com/x.css", RequestDecision::rdBlockRemote, RequestDecision::rdAllow},
        {"ftp", "ftp://example.com/x", RequestDecision::rdBlockRemote, RequestDecision::rdAllow},
        {"websocket", "wss://example.com/s", RequestDecision::rdBlockRemote, RequestDecision::rdAllow},
        {"browser internals", "chrome://settings", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"unknown scheme", "gopher://example.com/", RequestDecision::rdBlock, RequestDecision::rdBlock},
        {"blob", "blob:file:///x", RequestDecision::rdBlock, RequestDecision::rdBlock},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QUrl url(QString::fromLatin1(row.url));
        EXPECT_EQ(DecideResourceRequest(url, temp, false), row.blocked);
        EXPECT_EQ(DecideResourceRequest(url, temp, true), row.allowed);
    }
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
    EXPECT_EQ(settings.unknownUrlSchemePolicy(), QWebEngineSettings::DisallowUnknownUrlSchemes);
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
    qreal PageHeightWithImageAt(const QString& imagePath) {
        QImage tall(10, 2000, QImage::Format_RGB32);
        tall.fill(Qt::gray);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(imagePath).absolutePath()));
        EXPECT_TRUE(tall.save(imagePath, "PNG"));
        Show("local_image.kqv", {{"@IMAGE@", QUrl::fromLocalFile(imagePath).toEncoded()}});
        EXPECT_TRUE(WaitForMailPage());
        // The page has loaded: a refused image leaves it as tall as the view.
        (void)QTest::qWaitFor([&] { return Page().contentsSize().height() >= 2000; }, 1000);
        return Page().contentsSize().height();
    }
};

TEST_F(LocalImages, ImageInTempDirLoads) {
    EXPECT_GE(PageHeightWithImageAt(view::qt::PathToQString(view::TempDir()) + "hoch.png"), 2000);
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
        Show("links.kqv");
        ASSERT_TRUE(WaitForMailPage());
        // Input reaches the page once its first frame is drawn.
        QWidget* view = Child<QWidget>("WebBrowser1");
        target = view->focusProxy() ? view->focusProxy() : view;
        QTest::qWait(300);
    }
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

}  // namespace
