#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "reader/decoding/decoder_00e.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "transfer_decoder_test_support.h"

using decoder_test::Bytes;
using decoder_test::DecodeAll;

namespace {

constexpr std::string_view kUUEAlphabet = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr std::string_view kXXEAlphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Lines of at most 45 bytes: length character, then the groups.
std::vector<std::string> Encode(std::string_view bytes, std::string_view alphabet) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < bytes.size(); i += 45) {
        const std::string_view chunk = bytes.substr(i, 45);
        lines.push_back(alphabet[chunk.size()] + decoder_test::Encode6(chunk, alphabet));
    }
    return lines;
}

TEST(DecoderUUE, ReferenceEncoderMatchesTheClassicExample) {
    EXPECT_EQ(Encode("Cat", kUUEAlphabet), std::vector<std::string>{"#0V%T"});
    EXPECT_EQ(Encode("Cat", kXXEAlphabet), std::vector<std::string>{"1Eq3o"});
}

TEST(DecoderUUE, RoundTripOfEveryByteValue) {
    const std::string sample = decoder_test::SampleBytes();
    TIdDecoderUUE uue;
    EXPECT_EQ(DecodeAll(uue, Encode(sample, kUUEAlphabet)), sample);
    TIdDecoderXXE xxe;
    EXPECT_EQ(DecodeAll(xxe, Encode(sample, kXXEAlphabet)), sample);
}

struct Row {
    const char* name;
    std::string line;
    std::string expected;
};

TEST(DecoderUUE, UUELines) {
    const std::vector<Row> rows = {
        {"classic", "#0V%T", "Cat"},
        {"length-cuts-the-groups", "!0V%T", "C"},
        {"length-beyond-the-groups-writes-all", "M0V%T", "Cat"},
        {"incomplete-last-group-ignored", "#0V%T0V", "Cat"},
        {"fill-character-is-zero", "#````", Bytes({0, 0, 0})},
        {"fill-character-line-alone", "`", ""},
        {"zero-length-line", "`0V%T", ""},
        // Older encoders write a space where newer ones write the grave accent.
        {"space-is-zero", "#    ", Bytes({0, 0, 0})},
        {"space-as-length", " 0V%T", ""},
        {"space-and-grave-accent-mix", "#0V` ", "C`" + Bytes({0})},
        // Characters outside the alphabet are 255 and spill into neighbours.
        {"length-outside-alphabet-writes-all", "a0V%T", "Cat"},
        {"stray-character-spills", "#a```", Bytes({0xFC, 0x00, 0x00})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdDecoderUUE decoder;
        EXPECT_EQ(DecodeAll(decoder, {row.line}), row.expected);
    }
}

TEST(DecoderUUE, XXELines) {
    const std::vector<Row> rows = {
        {"classic", "1Eq3o", "Cat"},
        {"length-cuts-the-groups", "-Eq3o", "C"},
        {"full-line-length", "hEq3o", "Cat"},
        {"fill-character-is-zero", "1++++", Bytes({0, 0, 0})},
        {"fill-character-line-alone", "+", ""},
        {"space-is-outside-the-alphabet", "1 +++", Bytes({0xFC, 0x00, 0x00})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdDecoderXXE decoder;
        EXPECT_EQ(DecodeAll(decoder, {row.line}), row.expected);
    }
}

TEST(DecoderUUE, FillCharactersAreExposed) {
    EXPECT_EQ(TIdDecoderUUE().FillChar(), '`');
    EXPECT_EQ(TIdDecoderXXE().FillChar(), '+');
}

TEST(DecoderUUE, EightBitOrNulCharacterIsARangeErrorAndKeepsEarlierOutput) {
    for (const std::string& bad : {std::string("#0V\xE9T"), std::string("\xE9" "0V%T"), std::string("#0V\0T", 5)}) {
        TMemoryStream out;
        TIdDecoderUUE decoder;
        decoder.BeginDecode(out);
        decoder.DecodeText("#0V%T");
        try {
            decoder.DecodeText(bad);
            FAIL() << "no range error";
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), kRangeErrorText);
        }
        EXPECT_EQ(out.Data(), "Cat");
    }
}

// The data lines of the first inline block of a corpus mail, skipped the way
// the block reader skips them (blank lines, the lone fill character).
std::vector<std::string> CorpusBlock(const std::string& relativePath) {
    std::ifstream in(std::string(KQV_TEST_DATA_DIR) + "/corpus/" + relativePath, std::ios::binary);
    EXPECT_TRUE(in) << relativePath;
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!inside) {
            inside = line.rfind("begin ", 0) == 0;
            continue;
        }
        if (line == "end") break;
        if (line.find_first_not_of(" \t") == std::string::npos || line == "`") continue;
        lines.push_back(line);
    }
    return lines;
}

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t BigEndian32(std::string_view p) {
    return (std::uint32_t{static_cast<unsigned char>(p[0])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(p[1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(p[2])} << 8) | static_cast<unsigned char>(p[3]);
}

// Every chunk of a PNG carries a CRC over its type and data, so a single
// wrong byte anywhere shows.
void ExpectIntactPng(const std::string& png) {
    ASSERT_GE(png.size(), 8u);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    std::size_t pos = 8;
    std::string type;
    while (type != "IEND") {
        ASSERT_LE(pos + 12, png.size());
        const std::size_t length = BigEndian32(std::string_view(png).substr(pos, 4));
        ASSERT_LE(pos + 12 + length, png.size());
        type = png.substr(pos + 4, 4);
        EXPECT_EQ(Crc32(std::string_view(png).substr(pos + 4, 4 + length)),
                  BigEndian32(std::string_view(png).substr(pos + 8 + length, 4)))
            << "chunk " << type << " at " << pos;
        pos += 12 + length;
    }
    EXPECT_EQ(pos, png.size());
}

TEST(DecoderUUE, CorpusBlocks) {
    TIdDecoderUUE decoder;
    const std::string gif = DecodeAll(decoder, CorpusBlock("mime4j/mimetools-testmsgs/uu-zeegee.msg"));
    EXPECT_EQ(gif.substr(0, 6), "GIF87a");
    EXPECT_EQ(gif.back(), ';');  // GIF trailer

    // This encoder writes spaces for zero values.
    ExpectIntactPng(DecodeAll(decoder, CorpusBlock("zbateson-mail-mime-parser/m0018.txt")));
}

}  // namespace
