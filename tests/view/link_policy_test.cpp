#include "view/link_policy.h"
#include "view/page_files.h"

#include <gtest/gtest.h>

#include "view_test_support.h"

namespace {

using view::NavigationDecision;
constexpr auto kProceed = NavigationDecision::ndProceed;
constexpr auto kOutside = NavigationDecision::ndOpenOutside;
constexpr auto kCancel = NavigationDecision::ndCancel;

TEST(LinkPolicy, DecidesEveryKindOfNavigation) {
    viewtest::ScratchFolder scratch;
    const std::string temp = scratch / "Temp/";
    const std::string d = temp + "Mail00001/";  // the mail's folder
    platform::ForceDirectories(d);
    view::PageFiles files(d);
    for (const char* name : {"MailViewerTemp00001.HTML", "a.png", "logo@example.org", "doc.xml", "a.html"})
        platform::WriteWholeFile(d + name, "x", 0600);
    platform::WriteWholeFile(temp + "MailViewerTemp00001.HTML", "an earlier mail's page", 0600);
    files.Add("MailViewerTemp00001.HTML", view::PageFileUse::pfDocument);
    files.Add("a.png", view::PageFileUse::pfDocument);
    files.Add("logo@example.org", view::PageFileUse::pfDocument);
    files.Add("doc.xml", view::PageFileUse::pfResource);
    struct Row {
        const char* name;
        std::string url;
        NavigationDecision expected;
    } rows[] = {
        {"blank page", "about:blank", kProceed},
        {"blank page is case-sensitive", "ABOUT:BLANK", kCancel},
        {"other about page", "about:config", kCancel},
        {"cancelled-navigation page of the browser", "res://ieframe.dll/navcancl.htm", kProceed},
        {"remote page named like it stays outside", "http://evil.example/NAVCANCL", kOutside},
        {"script naming it is refused", "javascript:'navcancl'", kCancel},
        {"html page as plain path", d + "MailViewerTemp00001.HTML", kProceed},
        {"html page as file url", "file://" + d + "MailViewerTemp00001.HTML", kProceed},
        {"file url with localhost", "file://localhost" + d + "a.png", kProceed},
        {"file url with one slash", "file:" + d + "a.png", kProceed},
        {"file url scheme in capitals", "FILE://" + d + "a.png", kProceed},
        {"percent-encoded name inside", "file://" + d + "logo%40example.org", kProceed},
        {"fragment and query ignored", "file://" + d + "a.png?x=1#top", kProceed},
        {"content-id file that is no image", "file://" + d + "doc.xml", kCancel},
        {"file of the folder the page did not write", "file://" + d + "a.html", kCancel},
        {"another mail's page in TempDir", "file://" + temp + "MailViewerTemp00001.HTML", kCancel},
        {"parent folders out of temp", "file://" + d + "../../etc/passwd", kCancel},
        {"plain path with parent folders", d + "../../etc/passwd", kCancel},
        {"encoded parent folders", "file://" + d + "%2e%2e/%2E%2E/etc/passwd", kCancel},
        {"encoded slash and parents", "file://" + d + "..%2f..%2fetc", kCancel},
        {"back into the folder through a folder that is not there", "file://" + d + "sub/../a.png", kCancel},
        {"back into the folder", "file://" + d + "../Mail00001/a.png", kProceed},
        {"the folder itself", "file://" + d, kCancel},
        {"file url of another host", "file://server" + d + "a.png", kCancel},
        {"local file outside temp", "file:///etc/passwd", kCancel},
        {"bare path outside temp", "/usr/bin/xterm", kCancel},
        {"relative path", "Temp/a.png", kCancel},
        {"encoded nul byte", "file://" + d + "a.png%00.png", kCancel},
        {"web link", "http://example.org/", kOutside},
        {"secure web link", "https://example.org/a?b#c", kOutside},
        {"scheme in capitals", "HTTPS://example.org/", kOutside},
        {"ftp", "ftp://ftp.example.org/pub", kOutside},
        {"mail address", "mailto:someone@example.org", kOutside},
        {"news", "news:comp.lang.c++", kOutside},
        {"windows share", "smb://server/share/setup.exe", kCancel},
        {"script", "javascript:alert(1)", kCancel},
        {"data", "data:text/html,<b>x</b>", kCancel},
        {"desktop entry launcher", "applications:firefox.desktop", kCancel},
        {"leading blank hides the scheme", " http://example.org/", kCancel},
        {"empty", "", kCancel},
    };
    for (const Row& row : rows) EXPECT_EQ(view::DecideNavigation(row.url, &files), row.expected) << row.name;
    EXPECT_EQ(view::DecideNavigation("file://" + d + "a.png", nullptr), kCancel);
}

class LinkHandling : public viewtest::ViewFixture {};

TEST_F(LinkHandling, WebLinkGoesToTheShellAndTheViewStaysOnTheMail) {
    bool cancel = false;
    core->WebBrowser1BeforeNavigate2("https://example.org/x", cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"url https://example.org/x"});
}

TEST_F(LinkHandling, FilesOfTheMailOnShowAreShownInsideTheViewAndNoOthers) {
    const std::string mail =
        "Content-Type: multipart/related; boundary=\"r\"\n\n--r\nContent-Type: text/html\n\n"
        "<html><img src=\"cid:logo@example.org\"></html>\n--r\nContent-Type: image/png\n"
        "Content-ID: <logo@example.org>\n\n\x89PNG\n--r--\n";
    ShowContent(mail);
    const std::string earlierPage = core->HtmlTempFileName();
    bool cancel = false;
    core->WebBrowser1BeforeNavigate2("file://" + core->MailFolder() + "logo@example.org", cancel);
    core->WebBrowser1BeforeNavigate2(earlierPage, cancel);
    core->WebBrowser1BeforeNavigate2("about:blank", cancel);
    EXPECT_FALSE(cancel);

    ShowContent(mail);
    ASSERT_NE(core->HtmlTempFileName(), earlierPage);
    core->WebBrowser1BeforeNavigate2(earlierPage, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(LinkHandling, LocalProgramsAreNeverStarted) {
    const std::vector<std::string> urls = {"file:///usr/bin/xterm", "/usr/bin/xterm", "smb://host/a.exe",
                                           "javascript:x()", "file://" + Temp() + "../../../usr/bin/xterm"};
    for (const std::string& url : urls) {
        bool cancel = false;
        core->WebBrowser1BeforeNavigate2(url, cancel);
        EXPECT_TRUE(cancel) << url;
    }
    EXPECT_TRUE(shell.calls.empty());
}

}  // namespace
