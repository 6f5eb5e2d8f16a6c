#include <gtest/gtest.h>

#include <string>

#include "body_test_support.h"
#include "reader/exceptions.h"
#include "reader/io/message_client.h"

using body_test::Crlf;
using body_test::Lines;
using body_test::LoadedMail;

namespace {

const char* const kNested = R"(MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="outer"

preamble line

--outer
Content-Type: multipart/alternative; boundary="inner"

--inner
Content-Type: text/plain; charset="iso-8859-1"
Content-Transfer-Encoding: quoted-printable
Content-ID: <t1@x>
X-Extra: kept

plain =E4
--inner
Content-Type: text/html

<p>html</p>

--inner--
--outer
Content-Type: application/octet-stream
Content-Disposition: attachment; filename="a.bin"
Content-Transfer-Encoding: base64

QUJD
--outer--
epilogue 1

epilogue 2

)";

TEST(BodyReader, NestedMultipartsRecordTheirParents) {
    LoadedMail mail(Crlf(kNested));
    TIdMessage& m = mail.message;
    // The empty line before the first delimiter and the last empty line go.
    EXPECT_EQ(Lines(m.Body), "preamble line\nepilogue 1\n\nepilogue 2\n");
    ASSERT_EQ(m.Parts.Count(), 4);

    TIdText& alternative = mail.Text(0);
    EXPECT_EQ(alternative.ContentType, "multipart/alternative");
    EXPECT_EQ(alternative.ParentPart, -1);
    EXPECT_EQ(alternative.Body.Count(), 0);

    TIdText& plain = mail.Text(1);
    EXPECT_EQ(plain.ContentType, "text/plain");
    EXPECT_EQ(plain.CharSet, "iso-8859-1");
    EXPECT_EQ(plain.ContentTransfer, "quoted-printable");
    EXPECT_EQ(plain.ParentPart, 0);
    EXPECT_EQ(Lines(plain.Body), "plain \xE4\n");
    EXPECT_EQ(Lines(plain.Headers),
              "Content-Type: text/plain; charset=\"iso-8859-1\"\n"
              "Content-Transfer-Encoding: quoted-printable\n"
              "Content-ID: <t1@x>\n");
    EXPECT_EQ(Lines(plain.ExtraHeaders), "X-Extra=kept\n");

    TIdText& html = mail.Text(2);
    EXPECT_EQ(html.ParentPart, 0);
    // One trailing empty line is dropped, the CR LF before the delimiter is content.
    EXPECT_EQ(Lines(html.Body), "<p>html</p>\n");
    EXPECT_EQ(Lines(html.Headers), "Content-Type: text/html\nContent-Transfer-Encoding: \n");

    TIdAttachmentFile& bin = mail.Attachment(3);
    EXPECT_EQ(bin.ParentPart, -1);
    EXPECT_EQ(bin.AttachedFileName, "a.bin");
    EXPECT_EQ(bin.ContentTransfer, "base64");
    EXPECT_EQ(mail.Bytes(3), "ABC");
    EXPECT_EQ(Lines(bin.Headers),
              "Content-Type: application/octet-stream\n"
              "Content-Transfer-Encoding: base64\n"
              "Content-Disposition: attachment; filename=\"a.bin\"\n");
    EXPECT_EQ(m.BoundaryStack.BoundaryCount(), 0);
}

TEST(BodyReader, DelimiterLinesIgnoreCaseButNotSpaces) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=\"AbC\"\n"
                         "\n"
                         " --AbC\n"
                         "--AbC \n"
                         "--aBc\n"
                         "Content-Type: text/plain\n"
                         "\n"
                         "x --AbC\n"
                         "--AbC \n"
                         "--ABC--\n"));
    EXPECT_EQ(Lines(mail.message.Body), " --AbC\n--AbC \n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(Lines(mail.Text(0).Body), "x --AbC\n--AbC \n");
}

TEST(BodyReader, ClosingDelimiterWithoutOpenPartPopsAndIsDropped) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=b\n"
                         "\n"
                         "before\n"
                         "--b--\n"
                         "--b\n"
                         "after\n"));
    // After the pop no boundary is open: the next delimiter is plain text.
    EXPECT_EQ(Lines(mail.message.Body), "before\n--b\nafter\n");
    EXPECT_EQ(mail.message.Parts.Count(), 0);
    EXPECT_EQ(mail.message.BoundaryStack.BoundaryCount(), 0);
}

TEST(BodyReader, PartWithoutContentTypeIsPlainTextAttachmentEvenInDigest) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/digest; boundary=d\n"
                         "\n"
                         "--d\n"
                         "X-Note: none\n"
                         "\n"
                         "line\n"
                         "--d--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    TIdAttachmentFile& part = mail.Attachment(0);
    EXPECT_EQ(part.ContentType, "text/plain");
    EXPECT_EQ(part.AttachedFileName, "");
    EXPECT_EQ(mail.Bytes(0), "line\r\n");
    EXPECT_EQ(Lines(part.Headers), "Content-Type: \nContent-Transfer-Encoding: \n");
    EXPECT_EQ(Lines(part.ExtraHeaders), "X-Note=none\n");
}

TEST(BodyReader, HeaderCutOffByTheEndFailsTheLoad) {
    TIdMessage message;
    TMemoryStream stream(Crlf("MIME-Version: 1.0\n"
                              "Content-Type: multipart/mixed; boundary=b\n"
                              "\n"
                              "--b\n"
                              "Content-Type: text/plain\n"
                              "\n"
                              "first\n"
                              "--b\n"
                              "Content-Type: text/plain\n"));
    try {
        message.LoadMessageStream(stream);
        FAIL() << "no error";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Unknown Message Part Type.");
    }
    // What was stored before stays.
    ASSERT_EQ(message.Parts.Count(), 1);
    EXPECT_EQ(Lines(dynamic_cast<TIdText&>(message.Parts.Items(0)).Body), "first\n");
}

TEST(BodyReader, BrokenAttachmentIsDroppedWithItsFileAndLoadingGoesOn) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=b\n"
                         "\n"
                         "--b\n"
                         "Content-Type: application/octet-stream\n"
                         "Content-Transfer-Encoding: base64\n"
                         "\n"
                         "QUJD\n"
                         "QU\xE9J\n"
                         "QUJD\n"
                         "--b\n"
                         "Content-Type: image/png\n"
                         "Content-Transfer-Encoding: base64\n"
                         "\n"
                         "iVBO\n"
                         "--b--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Part(0).ContentType, "image/png");
    EXPECT_EQ(mail.Bytes(0), "\x89PN");
    // Only the good attachment's file remains.
    EXPECT_EQ(mail.dir.FileCount(), 1);
    // The lines the failed decoder did not take are read as plain body lines.
    EXPECT_EQ(Lines(mail.message.Body), "QUJD\n");
}

struct SinglePartCase {
    const char* name;
    const char* mail;
    const char* body;
    int parts;
};

class BodyReaderSinglePart : public testing::TestWithParam<SinglePartCase> {};

TEST_P(BodyReaderSinglePart, BodyAndParts) {
    LoadedMail mail(Crlf(GetParam().mail));
    EXPECT_EQ(Lines(mail.message.Body), GetParam().body);
    EXPECT_EQ(mail.message.Parts.Count(), GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BodyReaderSinglePart,
    testing::Values(
        SinglePartCase{"PlainMessageDropsOneFinalEmptyLine", "Subject: x\n\nline 1\n\n.dot\n\n\n", "line 1\n\ndot\n\n",
                       0},
        SinglePartCase{"MimeTextQuotedPrintable",
                       "MIME-Version: 1.0\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n"
                       "Hello=20World=\n!\n\n",
                       "Hello World!\n\n", 0},
        SinglePartCase{"MultipartWithoutBoundaryIsText",
                       "MIME-Version: 1.0\nContent-Type: multipart/mixed\n\n--x\nhello\n--x--\n", "--x\nhello\n--x--\n",
                       0},
        SinglePartCase{"PlainMessageWithBase64Body",
                       "Content-Transfer-Encoding: base64\n\nSGVsbG8K\nd29ybGQ=\n", "Hello\nworld\n", 0},
        SinglePartCase{"TextEndsAtFirstNul",
                       "MIME-Version: 1.0\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\n"
                       "YQBi\n",
                       "a\n", 0}),
    [](const testing::TestParamInfo<SinglePartCase>& info) { return info.param.name; });

TEST(BodyReader, MessageLevelBase64MultipartBecomesOneText) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n"
                         "Content-Transfer-Encoding: base64\n\nSGVs\nbG8=\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(Lines(mail.Text(0).Body), "Hello\n");
    EXPECT_EQ(mail.Text(0).ContentType, "text/plain");
}

TEST(BodyReader, SinglePartPdfTakesItsHeadersFromTheMessage) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Subject: doc\n"
                         "Content-Type: application/pdf; name=\"doc.pdf\"\n"
                         "Content-Transfer-Encoding: base64\n"
                         "Content-Disposition: attachment; filename=\"Report.pdf\"\n"
                         "Content-ID: <pdf@x>\n"
                         "\n"
                         "JVBERi0x\n"
                         "LjQ=\n"));
    EXPECT_TRUE(mail.message.SinglePartBody);
    EXPECT_EQ(mail.message.Body.Count(), 0);
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    TIdAttachmentFile& pdf = mail.Attachment(0);
    EXPECT_EQ(mail.Bytes(0), "%PDF-1.4");
    EXPECT_EQ(pdf.ContentType, "application/pdf");
    EXPECT_EQ(pdf.AttachedFileName, "Report.pdf");
    EXPECT_EQ(pdf.ContentTransfer, "base64");
    EXPECT_EQ(Lines(pdf.Headers),
              "Content-Type: application/pdf; name=\"doc.pdf\"\n"
              "Content-Transfer-Encoding: base64\n"
              "Content-Disposition: attachment; filename=\"Report.pdf\"\n"
              "Content-ID: <pdf@x>\n");
    EXPECT_EQ(pdf.ExtraHeaders.Count(), 0);
}

TEST(BodyReader, TextPartEndsAtFirstNulAndKeepsFieldsAsRead) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=b\n"
                         "\n"
                         "--b\n"
                         "Content-Type: text/plain; charset=UTF-8\n"
                         "Content-Transfer-Encoding: base64\n"
                         "Content-Disposition: inline\n"
                         "\n"
                         "b2sKAG5vdA==\n"
                         "--b--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    TIdText& text = mail.Text(0);
    EXPECT_EQ(Lines(text.Body), "ok\n");
    EXPECT_EQ(text.CharSet, "UTF-8");
    // Setting the charset does not rewrite the Content-Type line.
    EXPECT_EQ(text.Headers[0], "Content-Type: text/plain; charset=UTF-8");
    EXPECT_EQ(Lines(text.ExtraHeaders), "Content-Disposition=inline\n");
}

TEST(BodyReader, NoDecodeCapturesTheBodyRaw) {
    TIdMessage message;
    message.NoDecode = true;
    TMemoryStream stream(Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                              "--b\n..two\n.one\n.\nnever\n"));
    message.LoadMessageStream(stream);
    EXPECT_EQ(Lines(message.Body), "--b\n.two\n.one\n");
    EXPECT_EQ(message.Parts.Count(), 0);
}

TEST(BodyReader, HundredThousandNestedMultiparts) {
    constexpr int kDepth = 100000;
    std::string mail = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b0\r\n\r\n";
    mail.reserve(static_cast<std::size_t>(kDepth) * 64);
    for (int i = 0; i < kDepth; ++i) {
        mail += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) +
                "\r\n\r\n";
    }
    mail += "--b" + std::to_string(kDepth) + "\r\nContent-Type: text/plain\r\n\r\ndeep\r\n";
    LoadedMail loaded(mail);
    ASSERT_EQ(loaded.message.Parts.Count(), kDepth + 1);
    EXPECT_EQ(loaded.Part(0).ParentPart, -1);
    EXPECT_EQ(loaded.Part(kDepth - 1).ParentPart, kDepth - 2);
    EXPECT_EQ(loaded.Part(kDepth).ParentPart, kDepth - 1);
    EXPECT_EQ(Lines(loaded.Text(kDepth).Body), "deep\n");
}

TEST(BodyReader, HundredThousandParts) {
    constexpr int kParts = 100000;
    std::string mail = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=sep\r\n\r\n";
    for (int i = 0; i < kParts; ++i) mail += "--sep\r\nContent-Type: text/plain\r\n\r\nline\r\n";
    mail += "--sep--\r\n";
    LoadedMail loaded(mail);
    ASSERT_EQ(loaded.message.Parts.Count(), kParts);
    EXPECT_EQ(loaded.Part(kParts - 1).ParentPart, -1);
    EXPECT_EQ(Lines(loaded.Text(kParts - 1).Body), "line\n");
}

}  // namespace

namespace {

// Filler lines that bring text to exactly offset bytes.
std::string PaddedTo(std::string text, std::size_t offset) {
    while (text.size() < offset) {
        const std::size_t room = offset - text.size();
        // No line shorter than its CR LF, and never a lone "." line.
        const std::size_t length = room >= 80 ? 76 : room - 2;
        text += std::string(length, 'x') + "\r\n";
    }
    return text;
}

}  // namespace

TEST(BodyReader, LoneDotNearAChunkEndIsBodyData) {
    // 32,762 + ".\r\n" leaves 3 bytes of the first 32 KiB read behind the dot.
    constexpr std::size_t kDotOffset = 32762;
    const std::string plain = PaddedTo("Subject: x\r\n\r\n", kDotOffset) + ".\r\nafter\r\n";
    LoadedMail plainMail(plain);
    ASSERT_GE(plainMail.message.Body.Count(), 2);
    EXPECT_EQ(plainMail.message.Body.Last(), "after");

    const std::string multipart =
        PaddedTo("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                 "--b\r\nContent-Type: text/plain\r\n\r\n",
                 kDotOffset) +
        ".\r\nafter\r\n--b--\r\n";
    LoadedMail partMail(multipart);
    ASSERT_EQ(partMail.message.Parts.Count(), 1);
    const TLineStore& body = partMail.Text(0).Body;
    ASSERT_GE(body.Count(), 2);
    EXPECT_EQ(body[body.Count() - 2], "|");
    EXPECT_EQ(body.Last(), "after");
}

TEST(BodyReader, LoopStopsWhenAPartMeetsTheEnd) {
    // No closing delimiter: the text part reads up to the end-of-data line.
    TMemoryStream stream(Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                              "--b\nContent-Type: text/plain\n\nlast\n"));
    auto handler = std::make_unique<TIdIOHandlerStreamMsg>(&stream, nullptr);
    handler->FreeStreams = false;
    handler->Open();
    const TIdIOHandlerStreamMsg& io = *handler;
    TIdMessageClient client;
    client.SetIOHandler(std::move(handler));
    TIdMessage message;
    client.ReadMessage(message, false);
    ASSERT_EQ(message.Parts.Count(), 1);
    // A read past the end would have found nothing and said so.
    EXPECT_FALSE(io.LineTimedOut());
}

TEST(BodyReader, TransferEncodingNamesWithTrailingBlanks) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                         "--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64 \n\n"
                         "QUJD\n"
                         "--b\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\t\n\n"
                         "=E4\n"
                         "--b--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 2);
    EXPECT_EQ(mail.Bytes(0), "ABC");
    EXPECT_EQ(Lines(mail.Text(1).Body), "\xE4\n");
}

TEST(BodyReader, LateDecodingFailureKeepsTheNextPart) {
    struct Row {
        const char* name;
        const char* failingPart;
    } rows[] = {
        {"binhex without colons", "Content-Type: application/mac-binhex40\n\nno colon here\n"},
        {"bad last base64 group", "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n"
                                  "QUJD\xE9\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LoadedMail mail(Crlf(std::string("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n") +
                             row.failingPart + "--b\nContent-Type: text/plain\n\nnext part\n--b--\n"));
        ASSERT_EQ(mail.message.Parts.Count(), 1);
        EXPECT_EQ(Lines(mail.Text(0).Body), "next part\n");
        EXPECT_EQ(mail.message.Body.Count(), 0);
        EXPECT_EQ(mail.dir.FileCount(), 0);
    }
}
