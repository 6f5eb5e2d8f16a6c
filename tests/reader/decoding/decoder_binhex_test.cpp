#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reader/decoding/decoder_4to3.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "transfer_decoder_test_support.h"

using decoder_test::Bytes;
using decoder_test::DecodeAll;

namespace {

constexpr std::string_view kAlphabet = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
constexpr std::string_view kIntro = "(This file must be converted with BinHex 4.0)\r\n\r\n";
const std::string kCheck = Bytes({0x12, 0x34});  // check values are never verified

std::string BigEndian32(std::uint32_t v) {
    return Bytes({static_cast<int>(v >> 24), static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>(v & 0xFF)});
}

// Name length, name, version, type, creator, flags, fork lengths, check.
std::string Header(std::string_view name, std::uint32_t dataLength, std::uint32_t resourceLength) {
    return Bytes({static_cast<int>(name.size())}) + std::string(name) + Bytes({0}) + "TEXTMRVO" + Bytes({0, 0}) +
           BigEndian32(dataLength) + BigEndian32(resourceLength) + kCheck;
}

// The run-length coded stream, 6-bit encoded in lines of 64 characters
// between colons. The stream is padded with zeros to whole groups.
std::string Block(std::string stream) {
    while (stream.size() % 3 != 0) stream.push_back('\0');
    const std::string coded = decoder_test::Encode6(stream, kAlphabet);
    std::string block = std::string(kIntro) + ":";
    for (std::size_t i = 0; i < coded.size(); i += 64) {
        if (i > 0) block += "\r\n";
        block += coded.substr(i, 64);
    }
    return block + ":\r\n";
}

struct Row {
    const char* name;
    std::string stream;  // before 6-bit encoding, runs already coded
    std::string expected;
};

const std::vector<Row> kRows = {
    {"data-fork", Header("gruss.txt", 5, 0) + "Hallo" + kCheck + kCheck, "Hallo"},
    {"run-repeats-previous-byte", Header("a", 5, 0) + Bytes({0x41, 0x42, 0x90, 0x04}) + kCheck, "ABBBB"},
    {"literal-marker", Header("a", 3, 0) + Bytes({0x41, 0x90, 0x00, 0x42}) + kCheck, Bytes({0x41, 0x90, 0x42})},
    {"run-of-one-adds-nothing", Header("a", 2, 0) + Bytes({0x41, 0x90, 0x01, 0x42}) + kCheck, "AB"},
    {"run-of-literal-markers", Header("a", 3, 0) + Bytes({0x90, 0x00, 0x90, 0x03}) + kCheck,
     Bytes({0x90, 0x90, 0x90})},
    {"run-after-run-of-one", Header("a", 4, 0) + Bytes({0x41, 0x90, 0x01, 0x90, 0x04}) + kCheck, "AAAA"},
    // Runs are coded over the whole stream, header included.
    {"run-inside-header-name", Bytes({4, 'x', 0x90, 0x04}) + Header("xxxx", 2, 0).substr(5) + "ok" + kCheck, "ok"},
    {"empty-data-fork-gives-resource-fork", Header("r", 0, 4) + kCheck + "RSRC" + kCheck, "RSRC"},
    {"data-fork-wins-over-resource-fork", Header("r", 2, 4) + "DF" + kCheck + "RSRC" + kCheck, "DF"},
    {"empty-name", Header("", 1, 0) + "Z" + kCheck, "Z"},
};

TEST(DecoderBinHex, Rows) {
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        TIdDecoderBinHex4 decoder;
        EXPECT_EQ(DecodeAll(decoder, {Block(row.stream)}), row.expected);
    }
}

TEST(DecoderBinHex, ForkLongerThanTheDataIsCutAtTheEnd) {
    // Whole groups, so that no zero padding follows the fork.
    const std::string data = Header("kurz", 1000, 0) + "abcdefghij";
    ASSERT_EQ(data.size() % 3, 0u);
    TIdDecoderBinHex4 decoder;
    EXPECT_EQ(DecodeAll(decoder, {Block(data)}), "abcdefghij");

    const std::string resource = Header("kurz", 0, 1000) + kCheck + "abcdefgh";
    ASSERT_EQ(resource.size() % 3, 0u);
    EXPECT_EQ(DecodeAll(decoder, {Block(resource)}), "abcdefgh");
}

TEST(DecoderBinHex, FramingKeepsOnlyTheTextBetweenTheFirstTwoColons) {
    const std::string stream = Header("f", 3, 0) + "abc" + kCheck;
    const std::string coded = decoder_test::Encode6(stream + std::string(3 - stream.size() % 3, '\0'), kAlphabet);
    TIdDecoderBinHex4 decoder;
    // Lines joined without breaks, as inside a multipart.
    EXPECT_EQ(DecodeAll(decoder, {"Vorspann ohne Doppelpunkt" + std::string(":") + coded + ":nachher: egal"}), "abc");
    // Bare CRs and LFs anywhere inside are dropped.
    std::string broken = ":";
    for (std::size_t i = 0; i < coded.size(); ++i) broken += (i % 7 == 3 ? "\n" : i % 11 == 5 ? "\r" : "") + coded.substr(i, 1);
    EXPECT_EQ(DecodeAll(decoder, {broken + ":"}), "abc");
}

TEST(DecoderBinHex, MissingColons) {
    struct Case {
        const char* name;
        std::string block;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"no-colon", "(This file must be converted with BinHex 4.0)",
         "Block passed to TIdDecoderBinHex4.Decode is missing a starting colon :"},
        {"empty-block", "", "Block passed to TIdDecoderBinHex4.Decode is missing a starting colon :"},
        {"no-closing-colon", ":!!!!",
         "Block passed to TIdDecoderBinHex4.Decode is missing a terminating colon :"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream out;
        TIdDecoderBinHex4 decoder;
        decoder.BeginDecode(out);
        try {
            decoder.DecodeText(c.block);
            FAIL() << "no error";
        } catch (const EIdMissingColon& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(out.Data(), "");
    }
}

TEST(DecoderBinHex, NothingBetweenTheColonsWritesNothing) {
    TIdDecoderBinHex4 decoder;
    EXPECT_EQ(DecodeAll(decoder, {std::string(kIntro) + "::"}), "");
    EXPECT_EQ(DecodeAll(decoder, {":\r\n:"}), "");
}

TEST(DecoderBinHex, RangeErrorsWriteNothing) {
    const std::string good = Header("a", 3, 0) + "abc" + kCheck;
    ASSERT_EQ((good.size() + 2) % 3, 0u);  // the marker below must be the very last byte
    std::string coded = decoder_test::Encode6(good, kAlphabet);
    std::string eightBit = coded;
    eightBit[10] = '\xE9';
    const std::vector<std::pair<const char*, std::string>> cases = {
        // The fork is complete, but the stream ends with a marker.
        {"marker-at-end", Block(good + Bytes({0x42, 0x90}))},
        {"run-at-start", Block(Bytes({0x90, 0x05}) + good.substr(1) + "x")},
        {"run-after-removed-run-at-start", Block(Bytes({0x90, 0x01, 0x90, 0x05}) + good.substr(2))},
        {"header-shorter-than-its-fields", Block(Bytes({5, 'n', 'a', 'm', 'e', 'x', 0}) + "TEXTMRVO" + Bytes({0}))},
        {"no-whole-group", ":!!!:"},
        {"eight-bit-character", ":" + eightBit + ":"},
        {"nul-character", ":" + coded.substr(0, 8) + std::string(1, '\0') + coded.substr(9) + ":"},
    };
    for (const auto& [name, block] : cases) {
        SCOPED_TRACE(name);
        TMemoryStream out;
        TIdDecoderBinHex4 decoder;
        decoder.BeginDecode(out);
        try {
            decoder.DecodeText(block);
            FAIL() << "no range error";
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), kRangeErrorText);
        }
        EXPECT_EQ(out.Data(), "");
    }
}

TEST(DecoderBinHex, HugeRunsStreamOut) {
    // 0x90 0xFF stands for 254 copies: 4000 pairs expand to about a megabyte.
    std::string runs = "x";
    for (int i = 0; i < 4000; ++i) runs += Bytes({0x90, 0xFF});
    const std::uint32_t expanded = 1 + 4000 * 254;
    TIdDecoderBinHex4 decoder;
    const std::string out = DecodeAll(decoder, {Block(Header("r", expanded, 0) + runs + kCheck)});
    EXPECT_EQ(out, std::string(expanded, 'x'));
}

}  // namespace
