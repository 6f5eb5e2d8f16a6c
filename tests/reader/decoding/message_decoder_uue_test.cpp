#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "body_test_support.h"
#include "reader/decoding/message_decoder_uue.h"
#include "reader/exceptions.h"

using body_test::Crlf;
using body_test::LineFeed;
using body_test::Lines;
using body_test::LoadedMail;

namespace {

constexpr std::string_view kUueAlphabet = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr std::string_view kXxeAlphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Data lines of 45 bytes each (the last one shorter), joined with CR LF.
std::string EncodeLines(std::string_view data, std::string_view alphabet) {
    std::string out;
    for (std::size_t start = 0; start < data.size(); start += 45) {
        std::string chunk(data.substr(start, 45));
        const std::size_t n = chunk.size();
        while (chunk.size() % 3 != 0) chunk += '\0';
        if (!out.empty()) out += "\r\n";
        out += alphabet[n];
        for (std::size_t i = 0; i < chunk.size(); i += 3) {
            const unsigned v = static_cast<unsigned char>(chunk[i]) << 16 |
                               static_cast<unsigned char>(chunk[i + 1]) << 8 | static_cast<unsigned char>(chunk[i + 2]);
            for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(v >> shift) & 0x3F];
        }
    }
    return out;
}

std::string SampleBytes(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 37 + 11) & 0xFF);
    return s;
}

struct ProbeCase {
    const char* name;
    const char* line;
    bool starts;
    const char* fileName;
};

class UueProbe : public testing::TestWithParam<ProbeCase> {};

TEST_P(UueProbe, BeginLine) {
    TIdMessage message;
    auto decoder = TIdMessageDecoderInfoUUE().ProbeStartLine(message, GetParam().line);
    ASSERT_EQ(decoder != nullptr, GetParam().starts);
    if (!decoder) return;
    EXPECT_EQ(decoder->PartKind, pkAttachment);
    EXPECT_EQ(decoder->PartFileName, GetParam().fileName);
    EXPECT_NE(dynamic_cast<TIdMessageDecoderUUE*>(decoder.get()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, UueProbe,
                         testing::Values(ProbeCase{"ThreeDigitMode", "begin 644 file.txt", true, "file.txt"},
                                         ProbeCase{"UpperCaseWord", "BEGIN 600 a", true, "a"},
                                         ProbeCase{"TwoDigitModeTwoSpaces", "begin 64  x", true, "x"},
                                         ProbeCase{"NameTakenUnchanged", "begin 644  C:\\dir\\a b.txt ", true,
                                                   " C:\\dir\\a b.txt "},
                                         ProbeCase{"EmptyName", "begin 644 ", true, ""},
                                         ProbeCase{"TwoDigitModeOneSpace", "begin 64 xy", false, ""},
                                         ProbeCase{"FourDigitMode", "begin 0644 x", false, ""},
                                         ProbeCase{"ModeZero", "begin 000 x", false, ""},
                                         ProbeCase{"NegativeMode", "begin  -1 x", false, ""},
                                         ProbeCase{"ModeNotANumber", "begin abc x", false, ""},
                                         ProbeCase{"TooShort", "begin 644", false, ""},
                                         ProbeCase{"NoSpaceAfterWord", "begin-644 x", false, ""},
                                         ProbeCase{"LeadingSpace", " begin 644 x", false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UueBlock, InlineBlockBetweenBodyText) {
    const std::string data = SampleBytes(100);
    LoadedMail mail("Subject: files\r\n\r\nHello\r\n\r\nbegin 644 my file.txt\r\n" + EncodeLines(data, kUueAlphabet) +
                    "\r\n`\r\n\r\n end \r\nBye\r\n");
    EXPECT_EQ(Lines(mail.message.Body), "Hello\nBye\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    TIdAttachmentFile& part = mail.Attachment(0);
    EXPECT_EQ(mail.Bytes(0), data);
    EXPECT_EQ(part.ContentTransfer, "UUE");
    EXPECT_EQ(part.ContentType, "");
    EXPECT_EQ(part.AttachedFileName, "my file.txt");
    EXPECT_EQ(Lines(part.Headers), "Content-Type: \n");
}

TEST(UueBlock, XxeBlockIsRecognisedByItsFullFirstLine) {
    const std::string data = SampleBytes(95);
    LoadedMail mail("\r\nbegin 644 x.bin\r\n" + EncodeLines(data, kXxeAlphabet) + "\r\n+\r\nend\r\nafter\r\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Bytes(0), data);
    EXPECT_EQ(mail.Part(0).ContentTransfer, "XXE");
    EXPECT_EQ(Lines(mail.message.Body), "after\n");
}

TEST(UueBlock, BlockWithoutEndRunsToTheEndOfTheMessage) {
    const std::string data = SampleBytes(60);
    LoadedMail mail("\r\ntext\r\nbegin 755 tool\r\n" + EncodeLines(data, kUueAlphabet) + "\r\n");
    EXPECT_EQ(Lines(mail.message.Body), "text\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    EXPECT_EQ(mail.Bytes(0), data);
}

TEST(UueBlock, FourDigitModeStaysBodyText) {
    LoadedMail mail(Crlf("\nbegin 0644 x\nM86)C\nend\n"));
    EXPECT_EQ(mail.message.Parts.Count(), 0);
    EXPECT_EQ(Lines(mail.message.Body), "begin 0644 x\nM86)C\nend\n");
}

TEST(UueBlock, UnrecognisedSchemeDropsTheAttachment) {
    LoadedMail mail(Crlf("\nbegin 644 x\nabcd\nend\n"));
    EXPECT_EQ(mail.message.Parts.Count(), 0);
    EXPECT_EQ(mail.dir.FileCount(), 0);
    // The lines the decoder did not take are read as body lines.
    EXPECT_EQ(Lines(mail.message.Body), "end\n");
}

struct ReadCase {
    const char* name;
    std::string lines;
    const char* codingName;
    std::optional<std::string> bytes;  // unset: not checked
    const char* nextLine;  // what the reader hands out after the block
};

class UueReadPartBody : public testing::TestWithParam<ReadCase> {};

TEST_P(UueReadPartBody, Block) {
    LineFeed feed(GetParam().lines);
    TIdMessageDecoderUUE decoder(nullptr);
    feed.Attach(decoder);
    TMemoryStream out;
    bool messageEnd = true;
    EXPECT_EQ(decoder.ReadPartBody(out, messageEnd), nullptr);
    EXPECT_FALSE(messageEnd);
    EXPECT_EQ(decoder.CodingName, GetParam().codingName);
    if (GetParam().bytes) {
        EXPECT_EQ(out.Data(), *GetParam().bytes);
    }
    bool end = false;
    EXPECT_EQ(feed.IO().ReadLnRFC(end), GetParam().nextLine);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UueReadPartBody,
    testing::Values(
        ReadCase{"EmptyFirstLineEndsAtOnce", "\r\nM86)C\r\n", "", "", "M86)C"},
        ReadCase{"ShortXxeLineReadsAsUue", EncodeLines("0123456789", kXxeAlphabet) + "\r\nend\r\nnext\r\n", "UUE",
                 std::nullopt, "next"},
        ReadCase{"FillAndBlankLinesSkipped", EncodeLines("abc", kUueAlphabet) + "\r\n`\r\n   \r\n" +
                                                 EncodeLines("def", kUueAlphabet) + "\r\n\tEnd\t\r\nnext\r\n",
                 "UUE", "abcdef", "next"},
        ReadCase{"DelimiterInsideBlockIsData", EncodeLines("abc", kUueAlphabet) + "\r\n--b\r\nend\r\nnext\r\n", "UUE",
                 "abc", "next"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UueReadPartBody, UnknownFirstCharacterIsRejectedBeforeWriting) {
    for (const char* first : {"a", "g", "~x"}) {
        LineFeed feed(std::string(first) + "bcd\r\nend\r\n");
        TIdMessageDecoderUUE decoder(nullptr);
        feed.Attach(decoder);
        TMemoryStream out;
        bool messageEnd = false;
        try {
            decoder.ReadPartBody(out, messageEnd);
            ADD_FAILURE() << first;
        } catch (const EIdException& e) {
            EXPECT_STREQ(e.what(), "Unrecognized UUE encoding scheme.");
        }
        EXPECT_EQ(out.Size(), 0);
    }
}

}  // namespace
