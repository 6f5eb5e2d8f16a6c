// The Unicode view ("Automatisch" and a charset chosen for the mail): what
// the subject line, the header area, the text page, the attachment list and
// the HTML page hold.
#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "reader/message/message.h"
#include "view_test_support.h"

namespace {

using view::CharsetChoice;
using view::HtmlFileEncoding;
using Lines = std::vector<std::string>;

class UnicodeView : public viewtest::ViewFixture {
protected:
    UnicodeView() {
        displays.recordLocal = false;
        core->SetDefaultCharset(CharsetChoice::Automatic());
    }
};

// A single-part mail; charset empty for none.
std::string Mail(const std::string& charset, const std::string& subject, const std::string& body,
                 const std::string& type = "text/plain") {
    return "From: a@example.org\nTo: b@example.org\nSubject: " + subject + "\nContent-Type: " + type +
           (charset.empty() ? "" : "; charset=" + charset) + "\n\n" + body + "\n";
}

TEST_F(UnicodeView, EveryCharsetFamilyReadsAsUnicode) {
    struct Row {
        const char* name;
        std::string mail;
        std::string subject;
        std::string text;
    } rows[] = {
        {"UTF-8 with emoji", Mail("utf-8", "=?UTF-8?B?R3LDvMOfZSDwn5iA?=", "\xC5\x81ukasz \xF0\x9F\x98\x80"),
         "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", "\xC5\x81ukasz \xF0\x9F\x98\x80"},
        {"windows-1251", Mail("windows-1251", "=?windows-1251?B?z/Do4uXy?=", "\xCF\xF0\xE8\xE2\xE5\xF2"),
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"ISO-8859-2", Mail("ISO-8859-2", "=?ISO-8859-2?Q?Za=BF=F3=B3=E6?=", "Za\xBF\xF3\xB3\xE6"),
         "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"},
        {"KOI8-R", Mail("koi8-r", "=?koi8-r?B?8NLJ18XU?=", "\xF0\xD2\xC9\xD7\xC5\xD4"),
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"gb2312 read as GBK", Mail("gb2312", "=?gb2312?B?1tDOxA==?=", "\xD6\xD0\xCE\xC4"),
         "\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"Big5", Mail("big5", "=?big5?B?pKSk5Q==?=", "\xA4\xA4\xA4\xE5"), "\xE4\xB8\xAD\xE6\x96\x87",
         "\xE4\xB8\xAD\xE6\x96\x87"},
        {"Shift_JIS", Mail("Shift_JIS", "=?Shift_JIS?B?k/qWew==?=", "\x93\xFA\x96\x7B"),
         "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        // Japanese text, not the Shift_JIS bytes of the classic view.
        {"ISO-2022-JP", Mail("iso-2022-jp", "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=", "\x1B$BF|K\\\x1B(B"),
         "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"EUC-KR under its Windows label", Mail("ks_c_5601-1987", "=?ks_c_5601-1987?B?x9GxuQ==?=", "\xC7\xD1\xB1\xB9"),
         "\xED\x95\x9C\xEA\xB5\xAD", "\xED\x95\x9C\xEA\xB5\xAD"},
        {"UTF-8 kept under a seven-bit label", Mail("iso-2022-jp", "x", "\xE6\x97\xA5"), "x", "\xE6\x97\xA5"},
        {"unencoded 8-bit subject in UTF-8", Mail("windows-1251", "Gr\xC3\xBC\xC3\x9F" "e", "x"),
         "Gr\xC3\xBC\xC3\x9F" "e", "x"},
        {"unencoded 8-bit subject in the message's charset", Mail("windows-1251", "\xCF\xF0\xE8", "x"),
         "\xD0\x9F\xD1\x80\xD0\xB8", "x"},
        {"malformed UTF-8 keeps every byte", Mail("utf-8", "x", "M\xFCller \xE2\x82"), "x",
         "M\xC3\xBCller \xC3\xA2\xE2\x80\x9A"},
        {"unknown label, valid UTF-8", Mail("x-unknown", "x", "Gr\xC3\xBC\xC3\x9F" "e"), "x",
         "Gr\xC3\xBC\xC3\x9F" "e"},
        {"unknown label, other bytes as Windows-1252", Mail("x-unknown", "x", "Gr\xFC\xDF" "e \x80"), "x",
         "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
    };
    for (const Row& row : rows) {
        ShowContent(row.mail);
        EXPECT_EQ(displays.subjectLine, "Betreff: " + row.subject) << row.name;
        EXPECT_EQ(displays.messageText, Lines{row.text}) << row.name;
    }
}

TEST_F(UnicodeView, NamesInTheHeaderAreaAndTheAttachmentList) {
    ShowContent(
        "From: =?UTF-8?Q?=C5=81ukasz?= <l@example.org>\n"
        "To: =?utf-8?Q?Doe=2C_J=C3=BCrgen?= <j@example.org>, =?utf-8?Q?Ren=C3=A9?= <r@example.org>\n"
        "Subject: x\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nText\n"
        "--b\nContent-Type: application/octet-stream\n"
        "Content-Disposition: attachment; filename=\"=?UTF-8?Q?Rechnung=E2=80=AEfdp.exe?=\"\n\nx\n--b--\n");
    EXPECT_EQ(displays.headerValues.at(0), "l@example.org");
    EXPECT_EQ(displays.headerValues.at(1), "\xC5\x81ukasz");
    EXPECT_EQ(displays.headerValues.at(3), "j@example.org, r@example.org");
    // Split before decoding: the comma inside the first name is text.
    EXPECT_EQ(displays.headerValues.at(4), "Doe, J\xC3\xBCrgen, Ren\xC3\xA9");
    // The list shows the direction control, the file name has none.
    EXPECT_EQ(displays.attachments, Lines{"Rechnung\xC2\xA4" "fdp.exe"});
    EXPECT_EQ(core->AttachmentFileName(1), "Rechnung_fdp.exe");
}

TEST_F(UnicodeView, HtmlPageIsWrittenAsUtf8FromItsMimeCharsetOnly) {
    ShowContent(Mail("windows-1251", "x", "<p>\xCF\xF0\xE8</p>", "text/html"));
    EXPECT_EQ(platform::ReadWholeFile(core->HtmlTempFileName()), "\xEF\xBB\xBF<p>\xD0\x9F\xD1\x80\xD0\xB8</p>\r\n");
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heUtf8Bom);
    EXPECT_EQ(displays.messageText, Lines{"<p>\xD0\x9F\xD1\x80\xD0\xB8</p>"});

    // Without a MIME charset the page's own declaration decides.
    const std::string page = "<meta charset=koi8-r><p>\xF0\xD2\xC9</p>";
    ShowContent(Mail("", "x", page, "text/html"));
    EXPECT_EQ(platform::ReadWholeFile(core->HtmlTempFileName()), page + "\r\n");
    EXPECT_EQ(core->PageSettings().encoding, HtmlFileEncoding::heLocal);
}

TEST_F(UnicodeView, ChosenCharsetHoldsForTheMailOnClassicAndAutomaticForTheNextOnes) {
    const std::string koi8 = Mail("", "\xF0\xD2\xC9", "\xF0\xD2\xC9\xD7\xC5\xD4");
    ShowContent(koi8);
    EXPECT_EQ(displays.messageText, Lines{"\xC3\xB0\xC3\x92\xC3\x89\xC3\x97\xC3\x85\xC3\x94"});

    core->ChooseCharset(CharsetChoice::Explicit(*platform::EncodingForLabel("koi8-r")));
    EXPECT_EQ(displays.subjectLine, "Betreff: \xD0\x9F\xD1\x80\xD0\xB8");
    EXPECT_EQ(displays.messageText, Lines{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"});
    EXPECT_EQ(core->DefaultCharset(), CharsetChoice::Automatic());

    ShowContent(koi8);
    EXPECT_EQ(core->Charset(), CharsetChoice::Automatic());

    // The classic view, chosen, holds for the next mails too.
    const std::string utf8 = Mail("utf-8", "x", "Smiley \xF0\x9F\x98\x80");
    ShowContent(utf8);
    core->ChooseCharset(CharsetChoice::Classic());
    EXPECT_EQ(displays.messageText, Lines{"Smiley ?"});
    ShowContent(utf8);
    EXPECT_EQ(core->Charset(), CharsetChoice::Classic());
    EXPECT_EQ(displays.messageText, Lines{"Smiley ?"});
}

TEST_F(UnicodeView, TextThatStandsAsItIsMovesToTheTextPageAndComesBackForAnotherCharset) {
    ShowContent(Mail("", "x", "eins\nzwei"));
    EXPECT_EQ(displays.messageText, (Lines{"eins", "zwei"}));
    // No second copy of a large text: the model's body went to the page.
    EXPECT_TRUE(core->Mail()->Body.Empty());
    core->ChooseCharset(CharsetChoice::Explicit(*platform::EncodingForLabel("koi8-r")));
    EXPECT_EQ(displays.messageText, (Lines{"eins", "zwei"}));
    EXPECT_EQ(core->Charset(), CharsetChoice::Explicit(*platform::EncodingForLabel("koi8-r")));
}

TEST_F(UnicodeView, AttachmentNamesChangedByTheViewAreShownAgainFromTheLoadedOnes) {
    // The view appends ".txt" to a text attachment without extension; shown
    // again in another charset it does so once.
    ShowContent("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; name=\"=?utf-8?Q?Re=C3=A9?=\"\n"
                "Content-Disposition: attachment\n\nx\n--b--\n");
    EXPECT_EQ(displays.attachments, Lines{"Re\xC3\xA9.txt"});
    core->ChooseCharset(CharsetChoice::Classic());
    EXPECT_EQ(displays.attachments, Lines{"Re\xC3\xA9.txt"});
    EXPECT_EQ(static_cast<TIdAttachment&>(core->Mail()->Parts.Items(0)).AttachedFileName, "Re\xE9.txt");
}

}  // namespace
