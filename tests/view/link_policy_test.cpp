#include "view/link_policy.h"

#include <gtest/gtest.h>

#include "view_test_support.h"

namespace {

using view::NavigationDecision;
constexpr auto kProceed = NavigationDecision::ndProceed;
constexpr auto kOutside = NavigationDecision::ndOpenOutside;
constexpr auto kCancel = NavigationDecision::ndCancel;

TEST(LinkPolicy, DecidesEveryKindOfNavigation) {
    const std::string temp = "/tmp/x/Temp/";
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
        {"html page as plain path", "/tmp/x/Temp/MailViewerTemp00001.HTML", kProceed},
        {"html page as file url", "file:///tmp/x/Temp/MailViewerTemp00001.HTML", kProceed},
        {"file url with localhost", "file://localhost/tmp/x/Temp/a.png", kProceed},
        {"file url with one slash", "file:/tmp/x/Temp/a.png", kProceed},
        {"file url scheme in capitals", "FILE:///tmp/x/Temp/a.png", kProceed},
        {"percent-encoded name inside", "file:///tmp/x/Temp/logo%40example.org", kProceed},
        {"fragment and query ignored", "file:///tmp/x/Temp/a.html?x=1#top", kProceed},
        {"parent folders out of temp", "file:///tmp/x/Temp/../../etc/passwd", kCancel},
        {"plain path with parent folders", "/tmp/x/Temp/../../etc/passwd", kCancel},
        {"encoded parent folders", "file:///tmp/x/Temp/%2e%2e/%2E%2E/etc/passwd", kCancel},
        {"encoded slash and parents", "file:///tmp/x/Temp/..%2f..%2fetc", kCancel},
        {"back into temp is inside", "file:///tmp/x/Temp/sub/../a.png", kProceed},
        {"temp folder itself", "file:///tmp/x/Temp/", kCancel},
        {"prefix of another folder", "file:///tmp/x/Temporary/a.png", kCancel},
        {"other letter case is another folder", "file:///TMP/X/TEMP/a.png", kCancel},
        {"file url of another host", "file://server/tmp/x/Temp/a.png", kCancel},
        {"local file outside temp", "file:///etc/passwd", kCancel},
        {"bare path outside temp", "/usr/bin/xterm", kCancel},
        {"relative path", "Temp/a.png", kCancel},
        {"encoded nul byte", "file:///tmp/x/Temp/a%00.png", kCancel},
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
    for (const Row& row : rows) EXPECT_EQ(view::DecideNavigation(row.url, temp), row.expected) << row.name;
}

class LinkHandling : public viewtest::ViewFixture {};

TEST_F(LinkHandling, WebLinkGoesToTheShellAndTheViewStaysOnTheMail) {
    bool cancel = false;
    core->WebBrowser1BeforeNavigate2("https://example.org/x", cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"url https://example.org/x"});
}

TEST_F(LinkHandling, FileInsideTempDirIsShownInsideTheView) {
    bool cancel = false;
    core->WebBrowser1BeforeNavigate2("file://" + Temp() + "logo@example.org", cancel);
    core->WebBrowser1BeforeNavigate2(Temp() + "MailViewerTemp00001.HTML", cancel);
    core->WebBrowser1BeforeNavigate2("about:blank", cancel);
    EXPECT_FALSE(cancel);
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
