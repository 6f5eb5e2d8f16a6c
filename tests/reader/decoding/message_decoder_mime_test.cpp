#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "body_test_support.h"
#include "reader/decoding/message_decoder_mime.h"

using body_test::Crlf;
using body_test::Lines;
using body_test::LoadedMail;

namespace {

// BinHex 4.0 of a file with the given data fork, framed and split into
// lines of 64 characters the way Macintosh mailers send it.
std::string BinHexBlock(std::string_view name, std::string_view data) {
    constexpr std::string_view kAlphabet = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    static_assert(kAlphabet.size() == 64);
    auto put32 = [](std::string& s, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
    };
    std::string raw;
    raw += static_cast<char>(name.size());
    raw += name;
    raw += std::string("\0TEXTttxt\0\0", 11);
    put32(raw, static_cast<std::uint32_t>(data.size()));
    put32(raw, 0);
    raw += std::string(2, '\0');  // header check value
    raw += data;
    raw += std::string(4, '\0');  // data and resource check values
    std::string rle;
    for (char c : raw) {
        rle += c;
        if (static_cast<unsigned char>(c) == 0x90) rle += '\0';
    }
    while (rle.size() % 3 != 0) rle += '\0';
    std::string encoded;
    for (std::size_t i = 0; i < rle.size(); i += 3) {
        const std::uint32_t v = static_cast<unsigned char>(rle[i]) << 16 |
                                static_cast<unsigned char>(rle[i + 1]) << 8 | static_cast<unsigned char>(rle[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) encoded += kAlphabet[(v >> shift) & 0x3F];
    }
    std::string out = "(This file must be converted with BinHex 4.0)\r\n\r\n:";
    for (std::size_t i = 0; i < encoded.size(); i += 63) {
        if (i > 0) out += "\r\n";
        out += encoded.substr(i, 63);
    }
    return out + ":";
}

struct NameValueCase {
    const char* name;
    const char* line;
    const char* entry;
};

class HeaderLineToNameValue : public testing::TestWithParam<NameValueCase> {};

TEST_P(HeaderLineToNameValue, Entry) {
    EXPECT_EQ(TIdMessageDecoderMIME::HeaderLineToNameValue(GetParam().line), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(Rows, HeaderLineToNameValue,
                         testing::Values(NameValueCase{"Plain", "Content-Type: text/plain", "Content-Type=text/plain"},
                                         NameValueCase{"SpacesAroundColon", "Subject :  x ", "Subject=x "},
                                         NameValueCase{"TabsStay", "X-Tab:\tv", "X-Tab=\tv"},
                                         NameValueCase{"NoColon", "no colon here", "no colon here"},
                                         NameValueCase{"FirstColonSplits", "A:b:c", "A=b:c"},
                                         NameValueCase{"EmptyValue", "X-Empty:", "X-Empty="}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FileNameCase {
    const char* name;
    const char* contentType;
    const char* dispositionParameters;
    const char* fileName;
};

class PartFileNameFromHeaders : public testing::TestWithParam<FileNameCase> {};

TEST_P(PartFileNameFromHeaders, Name) {
    EXPECT_EQ(TIdMessageDecoderMIME::PartFileNameFromHeaders(GetParam().contentType, GetParam().dispositionParameters),
              GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PartFileNameFromHeaders,
    testing::Values(
        FileNameCase{"QuotedDispositionName", "application/pdf", " filename=\"Report.PDF\"", "Report.PDF"},
        FileNameCase{"WindowsPathWithColonAndQuestionMark", "application/octet-stream",
                     " filename=\"C:\\Users\\Me\\a:b?.txt\"", "a_b_.txt"},
        FileNameCase{"UnixPath", "text/plain", " filename=dir/sub/x.txt", "x.txt"},
        FileNameCase{"ReservedCharacters", "text/plain", " filename=\"a*<b>|c\"", "a__b__c"},
        FileNameCase{"UnquotedEndsAtSemicolonUntrimmed", "text/plain", " FileName=my file.txt ; size=3",
                     "my file.txt "},
        FileNameCase{"MissingClosingQuote", "text/plain", " filename=\"open.txt", "open.txt"},
        FileNameCase{"ContentTypeNameKeepsCase", "application/pdf; Name=\"Mixed.Case.pdf\"", "", "Mixed.Case.pdf"},
        FileNameCase{"NameFoundInsideFilename", "application/pdf; filename=Inner.pdf", "", "Inner.pdf"},
        FileNameCase{"DispositionBeforeContentType", "application/pdf; name=type.pdf", " filename=disp.pdf",
                     "disp.pdf"},
        FileNameCase{"EmptyFilenameFallsBackToName", "application/pdf; name=type.pdf", " filename=  ", "type.pdf"},
        FileNameCase{"EncodedWord", "application/pdf", " filename=\"=?ISO-8859-1?Q?M=FCller.pdf?=\"",
                     "M\xFCller.pdf"},
        FileNameCase{"NoName", "application/pdf; charset=x", " size=3", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ClassifyCase {
    const char* name;
    const char* contentType;
    const char* disposition;
    TIdPartKind kind;
    const char* fileName;
};

class ClassifyPart : public testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyPart, KindAndName) {
    TIdMessageDecoderMIME decoder(nullptr);
    decoder.ClassifyPart(GetParam().contentType, GetParam().disposition);
    EXPECT_EQ(decoder.PartKind, GetParam().kind);
    EXPECT_EQ(decoder.PartFileName, GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClassifyPart,
    testing::Values(ClassifyCase{"Text", "text/plain", "", pkText, ""},
                    ClassifyCase{"TextAttachment", "Text/Plain", "ATTACHMENT; filename=a.txt", pkAttachment, "a.txt"},
                    ClassifyCase{"AttachmentWithSpaceIsNot", "text/plain", "attachment ; filename=a.txt", pkText,
                                 "a.txt"},
                    ClassifyCase{"InlineTextWithName", "text/html", "inline; filename=\"x.htm\"", pkText, "x.htm"},
                    ClassifyCase{"Multipart", "multipart/mixed; boundary=x", "", pkText, ""},
                    ClassifyCase{"NoContentType", "", "", pkAttachment, ""},
                    ClassifyCase{"NamedWithoutDisposition", "application/zip; name=\"a.zip\"", "", pkAttachment,
                                 "a.zip"},
                    ClassifyCase{"InlineImage", "image/png", "inline", pkAttachment, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MimeProbe, DelimitersAndMessageLevelLines) {
    TIdMessage message;
    const TIdMessageDecoderInfoMIME info;
    EXPECT_FALSE(info.ProbeStartLine(message, "--b")) << "no boundary open";

    message.BoundaryStack.PushBoundary("outer", -1);
    message.BoundaryStack.PushBoundary("Inner", 0);
    EXPECT_NE(dynamic_cast<TIdMessageDecoderMIME*>(info.ProbeStartLine(message, "--iNNER").get()), nullptr);
    EXPECT_FALSE(info.ProbeStartLine(message, "--Inner "));
    EXPECT_FALSE(info.ProbeStartLine(message, "--outer")) << "only the innermost boundary counts";
    EXPECT_FALSE(info.ProbeStartLine(message, "--Inner-"));
    EXPECT_FALSE(info.ProbeStartLine(message, "text"));

    auto closing = info.ProbeStartLine(message, "--INNER--");
    ASSERT_NE(dynamic_cast<TIdMessageDecoderMIMEIgnore*>(closing.get()), nullptr);
    closing->ReadPartHeader();
    EXPECT_EQ(closing->PartKind, pkIgnore);
    EXPECT_EQ(message.BoundaryStack.CurrentBoundary(), "outer");

    message.ContentTransferEncoding = "Base64";
    auto first = info.ProbeStartLine(message, "SGVs");
    auto* mime = dynamic_cast<TIdMessageDecoderMIME*>(first.get());
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->HasPendingFirstLine);
    EXPECT_EQ(mime->PendingFirstLine, "SGVs");
    EXPECT_TRUE(mime->MessageLevelPart);
    EXPECT_EQ(mime->Boundary, "outer");
}

TEST(MimeDecoder, MessageLevelPartFollowsTheMessageEncoding) {
    const struct {
        const char* encoding;
        bool messageLevel;
    } rows[] = {{"", false}, {"7bit", false}, {"8BIT", false}, {"Binary", false},
                {"base64", true}, {"quoted-printable", true}, {"x-unknown", true}};
    for (const auto& row : rows) {
        TIdMessage message;
        message.ContentTransferEncoding = row.encoding;
        EXPECT_EQ(TIdMessageDecoderMIME(&message).MessageLevelPart, row.messageLevel) << row.encoding;
    }
}

struct BodyCase {
    const char* name;
    std::string headers;  // header lines of the part, each ending in CR LF
    std::string body;     // the part's lines as they stand in the file
    std::string bytes;    // what the attachment holds
};

class MimePartBody : public testing::TestWithParam<BodyCase> {};

TEST_P(MimePartBody, AttachmentBytes) {
    const BodyCase& row = GetParam();
    LoadedMail mail("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"zz\"\r\n\r\n--zz\r\n" +
                    row.headers + "\r\n" + row.body + "\r\n--zz--\r\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Bytes(0), row.bytes);
}

const std::string kOctets = "Content-Type: application/octet-stream\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, MimePartBody,
    testing::Values(
        BodyCase{"QuotedPrintableLastLineKeepsCrLf", kOctets + "Content-Transfer-Encoding: Quoted-Printable\r\n",
                 "a=3Db  \r\nsoft=\r\nlast", "a=b\r\nsoftlast\r\n"},
        BodyCase{"BinaryEndsWithoutLineBreakAndKeepsLoneLf", kOctets + "Content-Transfer-Encoding: binary\r\n",
                 "x\ny\r\n\r\nz", "x\ny\r\n\r\nz"},
        BodyCase{"SevenBitEndsWithCrLf", kOctets + "Content-Transfer-Encoding: 7bit\r\n", "x\r\ny", "x\r\ny\r\n"},
        BodyCase{"Base64SplitLinesSkipEmptyOnes", kOctets + "Content-Transfer-Encoding: base64\r\n",
                 "QUJ\r\nDRE\r\n\r\nVG", "ABCDEF"},
        BodyCase{"Base64IncompleteGroupPaddedAtTheEnd", kOctets + "Content-Transfer-Encoding: BASE64\r\n",
                 "QUJDRA", "ABCD"},
        BodyCase{"DotRules", kOctets, "..two\r\n.one\r\n.\r\n.\r\nx", ".two\r\none\r\n|\r\n|\r\nx\r\n"},
        BodyCase{"UnknownEncodingIsCopied", kOctets + "Content-Transfer-Encoding: x-gzip64\r\n", "QUJD",
                 "QUJD\r\n"},
        BodyCase{"HeaderOnlyTheEmptyLine", "", "a\r\n\r\nb", "a\r\n\r\nb\r\n"},
        BodyCase{"BeginLineInsidePartIsContent", kOctets, "begin 644 x.bin\r\nend", "begin 644 x.bin\r\nend\r\n"},
        BodyCase{"BinHexWithoutEncodingField", "Content-Type: application/mac-binhex40; name=\"a.txt\"\r\n",
                 BinHexBlock("a.txt", std::string("hello \x90 world", 13)), std::string("hello \x90 world", 13)},
        BodyCase{"BinHexEncodingField", kOctets + "Content-Transfer-Encoding: BinHex40\r\n",
                 BinHexBlock("b", std::string(200, 'q')), std::string(200, 'q')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MimeDecoder, BinHexPartIsNamedAndRecorded) {
    LoadedMail mail("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=zz\r\n\r\n--zz\r\n"
                    "Content-Type: application/mac-binhex40; name=\"a.txt\"\r\n\r\n" +
                    BinHexBlock("a.txt", "data") + "\r\n--zz--\r\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Part(0).ContentTransfer, "binhex40");
    EXPECT_EQ(mail.Attachment(0).AttachedFileName, "a.txt");
    EXPECT_EQ(Lines(mail.Part(0).Headers),
              "Content-Type: application/mac-binhex40; name=\"a.txt\"\nContent-Transfer-Encoding: binhex40\n");
}

TEST(MimeDecoder, BinHexSinglePartIsDecodedOnce) {
    LoadedMail mail("MIME-Version: 1.0\r\nContent-Type: application/mac-binhex40; name=\"s.txt\"\r\n"
                    "Content-Transfer-Encoding: binhex40\r\nContent-Disposition: attachment; filename=s.txt\r\n\r\n" +
                    BinHexBlock("s.txt", std::string(300, 'z')) + "\r\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Bytes(0), std::string(300, 'z'));
    EXPECT_EQ(mail.Attachment(0).AttachedFileName, "s.txt");
    EXPECT_EQ(mail.Part(0).ContentTransfer, "binhex40");
}

TEST(MimeDecoder, HeaderContinuationLines) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=zz\n"
                         "\n"
                         "--zz\n"
                         " X-First: lone\n"
                         "Content-Type: text/plain;\n"
                         "\t charset=us-ascii\n"
                         "X-Long: one\n"
                         " two\n"
                         "\n"
                         "text\n"
                         "--zz--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    TIdText& text = mail.Text(0);
    EXPECT_EQ(text.Headers[0], "Content-Type: text/plain;  charset=us-ascii");
    EXPECT_EQ(text.CharSet, "us-ascii");
    EXPECT_EQ(Lines(text.ExtraHeaders), "X-First=lone\nX-Long=one two\n");
}

TEST(MimeDecoder, MultipartWithoutBoundaryReusesTheEnclosingOne) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=b\n"
                         "\n"
                         "--b\n"
                         "Content-Type: multipart/related\n"
                         "\n"
                         "--b\n"
                         "Content-Type: text/plain\n"
                         "\n"
                         "inside\n"
                         "--b--\n"
                         "--b\n"
                         "Content-Type: text/plain\n"
                         "\n"
                         "outside\n"
                         "--b--\n"));
    ASSERT_EQ(mail.message.Parts.Count(), 3);
    EXPECT_EQ(mail.Part(0).ContentType, "multipart/related");
    EXPECT_EQ(mail.Part(0).ParentPart, -1);
    EXPECT_EQ(mail.Part(1).ParentPart, 0);
    EXPECT_EQ(Lines(mail.Text(1).Body), "inside\n");
    EXPECT_EQ(mail.Part(2).ParentPart, -1);
    EXPECT_EQ(Lines(mail.Text(2).Body), "outside\n");
}

TEST(MimeDecoder, MessageEndingInsideAPartKeepsWhatWasRead) {
    LoadedMail mail(Crlf("MIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=b\n"
                         "\n"
                         "--b\n"
                         "Content-Type: application/octet-stream\n"
                         "Content-Transfer-Encoding: base64\n"
                         "\n"
                         "QUJD\n"
                         "RE"));
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Bytes(0), "ABCD");
}

}  // namespace
