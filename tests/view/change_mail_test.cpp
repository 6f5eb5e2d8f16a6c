// ChangeMail as the user sees it: what every display holds afterwards.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "reader/message/message.h"
#include "view/html_temp_files.h"
#include "view_test_support.h"

namespace {

using view::HtmlFileEncoding;
using view::MessageBoxKind;
using view::Page;
using Lines = std::vector<std::string>;

class ChangeMail : public viewtest::ViewFixture {
protected:
    std::vector<std::string> NavigationTargets() const {
        std::vector<std::string> targets;
        for (const auto& n : html.navigations) targets.push_back(n.target);
        return targets;
    }
    std::string PublishedFile() const { return platform::ReadWholeFile(core->HtmlTempFileName()); }
};

const Lines kMessageBanner = {
    "",
    "*********************************************************",
    "*********     Header der Nachricht      *****************",
    "*********************************************************",
    "",
};

TEST_F(ChangeMail, PlainTextMessage) {
    Show("recipients.kqv");
    EXPECT_EQ(displays.subjectLine, "Betreff: Vier Empfaenger");
    EXPECT_EQ(displays.headerLabels, (Lines{"Von:", " ", " ", "An:", " ", " ", "Gesendet:", "Antwort an:"}));
    EXPECT_EQ(displays.headerValues,
              (Lines{"anna@example.org", "Anna Absender", " ", "a@example.org, b@example.org, c@example.org",
                     "Anna, Carl", " ", "06.12.2026 18:59:18", "r1@example.org, r2@example.org"}));
    EXPECT_EQ(displays.messageText, (Lines{"Erste Zeile", "Zweite Zeile"}));
    Lines raw = kMessageBanner;
    for (const char* line : {"From=\"Anna Absender\" <anna@example.org>",
                             "To=Anna <a@example.org>, b@example.org, Carl <c@example.org>,",
                             " \"Anna again\" <A@EXAMPLE.ORG>", "Cc=cc@example.org",
                             "Reply-To=r1@example.org, R1@Example.org, r2@example.org", "Subject=Vier Empfaenger",
                             "Date=Sun, 06 Dec 2026 18:59:18 +0100", "Content-Type=text/plain"})
        raw.push_back(line);
    EXPECT_EQ(displays.rawHeader, raw);
    EXPECT_TRUE(displays.attachments.empty());
    EXPECT_TRUE(displays.Visible(Page::tsText));
    EXPECT_FALSE(displays.Visible(Page::tsHTML));
    EXPECT_FALSE(displays.Visible(Page::tsAnlagen));
    EXPECT_TRUE(displays.Visible(Page::tsMailheader));
    EXPECT_EQ(displays.frontPage, Page::tsText);
    EXPECT_EQ(html.stops, 1);
    EXPECT_EQ(NavigationTargets(), Lines{"about:blank"});
    EXPECT_FALSE(core->HtmlPublished());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(platform::DirectoryExists(Temp()));
}

TEST_F(ChangeMail, MessageWithoutSenderOrReplyTo) {
    Show("no_sender.kqv");
    EXPECT_EQ(displays.headerLabels, (Lines{"Von:", " ", "An:", " ", "Gesendet:"}));
    EXPECT_EQ(displays.headerValues, (Lines{"", " ", "b@example.org", " ", "03.02.2026 08:05:09"}));
}

TEST_F(ChangeMail, DeclaredUtf8LosesNothing) {
    struct Row {
        const char* mail;
        std::string subjectLine;
        Lines text;
    } rows[] = {
        {"utf8_plain.kqv", "Betreff: Gr\xFC\xDF" "e aus K\xF6ln \x80", {"Gr\xFC\xDF" "e", "Smiley ? Ende"}},
        // Latin-1 bytes under a UTF-8 label stay as they are instead of
        // blanking the whole subject or body.
        {"utf8_declared_latin1.kqv", "Betreff: M\xFCller", {"Stra\xDF" "e und Gr\xFC\xDF" "e"}},
        {"recipients.kqv", "Betreff: Vier Empfaenger", {"Erste Zeile", "Zweite Zeile"}},
    };
    for (const Row& row : rows) {
        Show(row.mail);
        EXPECT_EQ(displays.subjectLine, row.subjectLine) << row.mail;
        EXPECT_EQ(displays.messageText, row.text) << row.mail;
    }
}

TEST_F(ChangeMail, SinglePartHtml) {
    Show("single_html.kqv");
    const std::string html =
        "<html><body><p>a test</p>\r\n<img src=\"logo@example.org\"></body></html>\r\n";
    EXPECT_EQ(displays.messageText, (Lines{"<html><body><p>acid: test</p>",
                                           "<img src=\"CID:logo@example.org\"></body></html>"}));
    EXPECT_EQ(core->HtmlTempFileName(), Temp() + "Mail00001/MailViewerTemp00001.HTML");
    EXPECT_EQ(core->PublishedHtml(), html);
    EXPECT_EQ(PublishedFile(), html);
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heLocal);
    EXPECT_EQ(NavigationTargets(), (Lines{"about:blank", core->HtmlTempFileName()}));
    EXPECT_EQ(displays.frontPage, Page::tsHTML);
    EXPECT_TRUE(displays.Visible(Page::tsHTML));
    EXPECT_FALSE(displays.Visible(Page::tsAnlagen));
    EXPECT_EQ(viewtest::ModeOf(core->HtmlTempFileName()), 0600u);
}

TEST_F(ChangeMail, ConvertedHtmlIsWrittenAsUtf8WithByteOrderMark) {
    Show("single_html_utf8.kqv");
    const std::string local = "<html><head><meta charset=\"iso-8859-1\"></head><body>Gr\xFC\xDF" "e</body></html>\r\n";
    EXPECT_EQ(core->PublishedHtml(), local);
    EXPECT_EQ(PublishedFile(), "\xEF\xBB\xBF" + platform::LocalToUtf8(local));
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heUtf8Bom);
    ASSERT_EQ(html.navigations.size(), 2u);
    EXPECT_EQ(html.navigations[1].settings.encoding, HtmlFileEncoding::heUtf8Bom);
    // The source in the text page is the body as stored.
    EXPECT_EQ(displays.messageText.at(0),
              "<html><head><meta charset=\"iso-8859-1\"></head><body>Gr\xC3\xBC\xC3\x9F" "e</body></html>");
}

TEST_F(ChangeMail, AlternativeShowsPlainTextAndHtmlInFront) {
    Show("alternative.kqv");
    EXPECT_EQ(displays.messageText, Lines{"Gr\xFC\xDF" "e im Klartext"});
    EXPECT_EQ(core->PublishedHtml(), "<html><body><b>Fett</b></body></html>\r\n");
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heLocal);
    EXPECT_EQ(displays.frontPage, Page::tsHTML);
    EXPECT_TRUE(displays.Visible(Page::tsHTML));
    EXPECT_FALSE(displays.Visible(Page::tsAnlagen));
    EXPECT_EQ(displays.rawHeader.at(kMessageBanner.size() + 6), "");
    EXPECT_EQ(displays.rawHeader.at(kMessageBanner.size() + 8), "*********  Header zum Nachrichtenteil   *****************");
    EXPECT_EQ(displays.rawHeader.at(kMessageBanner.size() + 9), "*********  Typ: Text                    *****************");
}

TEST_F(ChangeMail, TextPartsAreJoinedAndTheHtmlPartDoesNotFillTheTextPage) {
    Show("two_texts.kqv");
    EXPECT_EQ(displays.messageText, (Lines{"Eins", "", "***********************", "", "Zwei \xE4"}));
    EXPECT_EQ(core->PublishedHtml(), "<html><body>Drei</body></html>\r\n");
    EXPECT_EQ(displays.frontPage, Page::tsHTML);
}

TEST_F(ChangeMail, HtmlFoundInPlainTextIsPublished) {
    Show("html_in_text.kqv");
    EXPECT_EQ(displays.messageText, (Lines{"Vorher", "<hTmL><body>Hallo cid:x</body></hTmL>"}));
    EXPECT_EQ(core->PublishedHtml(), "Vorher\r\n<hTmL><body>Hallo x</body></hTmL>\r\n");
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heLocal);
    EXPECT_EQ(displays.frontPage, Page::tsHTML);
}

TEST_F(ChangeMail, HtmlFoundInConvertedTextKeepsItsCharacters) {
    ShowContent("Content-Type: text/plain; charset=utf-8\n\n<html>Gr\xC3\xBC\xC3\x9F" "e</html>\n");
    EXPECT_EQ(core->PublishedHtml(), "<html>Gr\xFC\xDF" "e</html>\r\n");
    EXPECT_EQ(PublishedFile(), "\xEF\xBB\xBF<html>Gr\xC3\xBC\xC3\x9F" "e</html>\r\n");
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heUtf8Bom);
}

TEST_F(ChangeMail, AttachmentNamingRules) {
    Show("attachments.kqv");
    const Lines listed = {"readme.txt",
                          "Anlage2.kqv",
                          "application/pdf.PDF",
                          "application/octet-stream",
                          "Anlage6",  // the key is spelt "VND.MS-POERPOINT"
                          "Anlage7.PPT",
                          "Anlage8.DOC",
                          "Anlage9.txt",
                          "application/x-pdf-zip.PDF.ZIP"};
    EXPECT_EQ(displays.attachments, listed);
    // The list finds its parts again by AttachedFileName.
    const std::pair<int, std::string> names[] = {{1, "readme.txt"},           {2, "Anlage2.kqv"},
                                                 {3, "application/pdf.PDF"},  {4, "application/octet-stream"},
                                                 {8, "Anlage8.DOC"},          {9, "Anlage9.txt"}};
    for (const auto& [index, name] : names)
        EXPECT_EQ(static_cast<TIdAttachment&>(core->Mail()->Parts.Items(index)).AttachedFileName, name) << index;
    EXPECT_TRUE(displays.Visible(Page::tsAnlagen));
    EXPECT_EQ(displays.frontPage, Page::tsText);
    EXPECT_EQ(displays.messageText, Lines{"Siehe Anlagen"});

    const std::string cid = Temp() + "Mail00001/logo@example.org";
    EXPECT_EQ(core->CidFiles(), Lines{cid});
    EXPECT_EQ(platform::ReadWholeFile(cid), "\x89PNG\r\n\x1A\nlogo");
    EXPECT_EQ(viewtest::ModeOf(cid), 0600u);
    const auto has = [&](const std::string& line) {
        return std::find(displays.rawHeader.begin(), displays.rawHeader.end(), line) != displays.rawHeader.end();
    };
    EXPECT_TRUE(has("Fileanhang, Dateiname: readme.txt"));
    EXPECT_TRUE(has("Fileanhang, CIDFile: " + cid));
    EXPECT_TRUE(has("Application-Anhang: "));
    EXPECT_TRUE(has("*********  Typ: Anhang                  *****************"));
}

TEST_F(ChangeMail, InlineImageWithContentIdIsStoredNotListed) {
    const std::string mail =
        "Content-Type: multipart/related; boundary=\"r\"\n\n--r\nContent-Type: text/plain\n\nText\n"
        "--r\nContent-Type: image/png\nContent-ID: <bild1>\nContent-Disposition: inline\n\nPNG\n--r--\n";
    ShowContent(mail);
    EXPECT_TRUE(displays.attachments.empty());
    EXPECT_FALSE(displays.Visible(Page::tsAnlagen));
    const std::string first = Temp() + "Mail00001/bild1";
    EXPECT_EQ(core->CidFiles(), Lines{first});
    EXPECT_EQ(platform::ReadWholeFile(first), "PNG\r\n");

    // A later mail with the same id shows its own file, never the earlier
    // one's, which is gone; nothing stored loose in TempDir stands in.
    platform::WriteWholeFile(Temp() + "bild1", "planted", 0600);
    std::string later = mail;
    later.replace(later.find("PNG\n"), 4, "GIF\n");
    ShowContent(later);
    EXPECT_EQ(core->CidFiles(), Lines{Temp() + "Mail00002/bild1"});
    EXPECT_EQ(platform::ReadWholeFile(core->CidFiles()[0]), "GIF\r\n");
    EXPECT_FALSE(platform::FileExists(first));
    EXPECT_TRUE(displays.attachments.empty());
}

TEST_F(ChangeMail, ContentIdsCannotLeaveTempDir) {
    view::SetTempDir(scratch / "a/b/Temp");
    Show("cid_escape.kqv");
    EXPECT_EQ(core->CidFiles(), (Lines{Temp() + "Mail00001/_.._x", Temp() + "Mail00001/sub_dir_y"}));
    EXPECT_EQ(viewtest::TreeOf(scratch.Path()),
              (Lines{"a", "a/b", "a/b/Temp", "a/b/Temp/Mail00001", "a/b/Temp/Mail00001/MailViewerTemp00001.HTML",
                     "a/b/Temp/Mail00001/_.._x", "a/b/Temp/Mail00001/sub_dir_y", "cid_escape.kqv"}));
}

TEST_F(ChangeMail, MultipartWithoutBoundaryShowsTheBodyAndSaysSo) {
    Show("no_boundary.kqv");
    EXPECT_EQ(displays.messageText, (Lines{"Erster Teil", "Zweiter Teil"}));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, MessageBoxKind::mbInformation);
    EXPECT_EQ(boxes.boxes[0].text,
              "F\xFCr die Multipart-Mail ist kein \"boundary\" definiert!\rDie Mail wird nicht korrekt angezeigt!");
    EXPECT_EQ(displays.frontPage, Page::tsText);
    EXPECT_FALSE(core->Repaired());
}

TEST_F(ChangeMail, LoadFailureResetsThePagesAndKeepsTheHeaderArea) {
    Show("attachments.kqv");
    const Lines labels = displays.headerLabels, values = displays.headerValues, raw = displays.rawHeader;
    const std::string subject = displays.subjectLine;

    core->MailFileName = scratch / "missing.kqv";
    core->ChangeMail();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, MessageBoxKind::mbError);
    EXPECT_EQ(boxes.boxes[0].text, "Fehler beim \xD6" "ffnen der Mail!");
    EXPECT_TRUE(displays.messageText.empty());
    EXPECT_TRUE(displays.attachments.empty());
    EXPECT_FALSE(displays.Visible(Page::tsAnlagen));
    EXPECT_FALSE(displays.Visible(Page::tsHTML));
    EXPECT_EQ(displays.frontPage, Page::tsText);
    EXPECT_EQ(html.navigations.back().target, "about:blank");
    EXPECT_EQ(displays.subjectLine, subject);
    EXPECT_EQ(displays.headerLabels, labels);
    EXPECT_EQ(displays.headerValues, values);
    EXPECT_EQ(displays.rawHeader, raw);
    ASSERT_NE(core->Mail(), nullptr);
    EXPECT_EQ(core->Mail()->Parts.Count(), 0);
}

TEST_F(ChangeMail, ReaderNoticesBecomePlainBoxes) {
    Show("recipients.kqv");
    core->Mail()->Notice("Fehler bei AMsg.Headers.Append");
    EXPECT_EQ(core->Notices(), Lines{"Fehler bei AMsg.Headers.Append"});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, MessageBoxKind::mbPlain);
    EXPECT_EQ(boxes.boxes[0].text, "Fehler bei AMsg.Headers.Append");
    Show("recipients.kqv");
    EXPECT_TRUE(core->Notices().empty());
}

TEST_F(ChangeMail, LineBreakInsideAHeaderLineStartsANewRawHeaderLine) {
    ShowContent("Subject: a\rb\nX-Other: c\n\nText\n");
    const Lines tail(displays.rawHeader.end() - 3, displays.rawHeader.end());
    EXPECT_EQ(tail, (Lines{"Subject=a", "b", "X-Other=c"}));
}

TEST_F(ChangeMail, FailingBlankPageIsIgnored) {
    html.failingTarget = "about:blank";
    Show("single_html.kqv");
    EXPECT_EQ(displays.frontPage, Page::tsHTML);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ChangeMail, RemoteContentIsAllowedPerMailOnly) {
    Show("single_html.kqv");
    EXPECT_FALSE(core->PageSettings().remoteContentAllowed);
    EXPECT_FALSE(html.navigations.back().settings.remoteContentAllowed);

    core->AllowExternalContent();
    ASSERT_EQ(html.navigations.size(), 3u);
    EXPECT_EQ(html.navigations[2].target, core->HtmlTempFileName());
    EXPECT_TRUE(html.navigations[2].settings.remoteContentAllowed);

    Show("alternative.kqv");
    EXPECT_FALSE(core->PageSettings().remoteContentAllowed);
    EXPECT_FALSE(html.navigations.back().settings.remoteContentAllowed);

    // Without a page there is nothing to show again.
    Show("recipients.kqv");
    const std::size_t before = html.navigations.size();
    core->AllowExternalContent();
    EXPECT_EQ(html.navigations.size(), before);
    EXPECT_TRUE(core->PageSettings().remoteContentAllowed);
}

TEST_F(ChangeMail, PageStillInUseIsRetriedFiveTimesThenTheErrorReachesTheCaller) {
    std::vector<unsigned> sleeps;
    platform::SetSleepFunction([&](unsigned ms) { sleeps.push_back(ms); });
    // A folder under the page's name cannot be deleted as a file.
    displays.onSubject = [&] { platform::ForceDirectories(core->HtmlTempFileName() + "/held"); };
    core->MailFileName = scratch.CopyMail("single_html.kqv");
    EXPECT_THROW(core->ChangeMail(), std::system_error);
    EXPECT_EQ(sleeps, (std::vector<unsigned>(5, 250)));
    EXPECT_FALSE(core->HtmlPublished());
    // What was shown before the failure stays.
    EXPECT_EQ(displays.subjectLine, "Betreff: Nur HTML");
    EXPECT_TRUE(displays.Visible(Page::tsHTML));
}

TEST_F(ChangeMail, PageReleasedDuringTheRetriesIsReplaced) {
    int sleeps = 0;
    displays.onSubject = [&] { platform::ForceDirectories(core->HtmlTempFileName() + "/held"); };
    platform::SetSleepFunction([&](unsigned) {
        if (++sleeps == 2) std::filesystem::remove_all(core->HtmlTempFileName());
    });
    Show("single_html.kqv");
    EXPECT_EQ(sleeps, 2);
    EXPECT_TRUE(core->HtmlPublished());
    EXPECT_EQ(PublishedFile(), core->PublishedHtml());
}

TEST_F(ChangeMail, OldPageOfTheSameNameIsReplaced) {
    platform::ForceDirectories(Temp());
    displays.onSubject = [&] { platform::WriteWholeFile(core->HtmlTempFileName(), "stale", 0644); };
    Show("single_html.kqv");
    EXPECT_EQ(PublishedFile(), core->PublishedHtml());
}

}  // namespace
