#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/decoding/decoder_4to3.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "transfer_decoder_test_support.h"

using decoder_test::Bytes;
using decoder_test::DecodeAll;

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string EncodeBase64(std::string_view bytes) {
    std::string s = decoder_test::Encode6(bytes, kAlphabet);
    const std::size_t rest = bytes.size() % 3;
    if (rest > 0) s.replace(s.size() - (3 - rest), 3 - rest, 3 - rest, '=');
    return s;
}

struct Vector {
    const char* name;
    std::string encoded;
    std::string decoded;
};

// RFC 4648 section 10 plus a familiar sentence.
const std::vector<Vector> kKnownVectors = {
    {"empty", "", ""},
    {"f", "Zg==", "f"},
    {"fo", "Zm8=", "fo"},
    {"foo", "Zm9v", "foo"},
    {"foob", "Zm9vYg==", "foob"},
    {"fooba", "Zm9vYmE=", "fooba"},
    {"foobar", "Zm9vYmFy", "foobar"},
    {"quick-brown-fox", "VGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZw==",
     "The quick brown fox jumps over the lazy dog"},
};

TEST(DecoderBase64, KnownVectorsWholeAndByLine) {
    for (const auto& v : kKnownVectors) {
        SCOPED_TRACE(v.name);
        TIdDecoderMIME whole;
        EXPECT_EQ(DecodeAll(whole, {v.encoded}), v.decoded);
        TIdDecoderMIMELineByLine byLine;
        EXPECT_EQ(DecodeAll(byLine, {v.encoded}), v.decoded);
        EXPECT_EQ(EncodeBase64(v.decoded), v.encoded);  // the reference encoder agrees
    }
}

TEST(DecoderBase64, AnyLineLengthDecodesLikeTheUnsplitText) {
    const std::string sample = decoder_test::SampleBytes();
    for (const std::string& text : {std::string(kKnownVectors.back().decoded), sample}) {
        const std::string encoded = EncodeBase64(text);
        for (std::size_t length = 1; length <= 80; ++length) {
            SCOPED_TRACE(length);
            TIdDecoderMIMELineByLine decoder;
            EXPECT_EQ(DecodeAll(decoder, decoder_test::SplitEvery(encoded, length)), text);
        }
    }
}

TEST(DecoderBase64, ByLineEdgeCases) {
    const std::vector<Vector> rows = {
        // The leftover is padded with "=" at the end.
        {"missing-one-char-completed", "Zm9vYmE", "fooba"},
        {"missing-two-chars-completed", "Zm9vYg", "foob"},
        // A single leftover character still gives one byte; the padding's
        // 255 spills into it.
        {"single-char-leftover", "Zm9vY", "foo" + Bytes({0x6F})},
        // Groups after a padded one count as zeros, not as data.
        {"data-after-padding-is-zero", "Zg==Zm9v", "f" + Bytes({0x3F, 0xFF, 0x00})},
        // A character outside the alphabet is 255 and garbles its group.
        {"stray-character-garbles-group", "Zm*v", Bytes({0x66, 0x7F, 0xEF})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdDecoderMIMELineByLine decoder;
        EXPECT_EQ(DecodeAll(decoder, {row.encoded}), row.decoded);
    }
}

TEST(DecoderBase64, TrailingSpaceIsDecodedNotSkipped) {
    TIdDecoderMIMELineByLine decoder;
    // "Zm9v YmFy" groups as "Zm9v", " YmF", and "y" is left for the end.
    EXPECT_EQ(DecodeAll(decoder, {"Zm9v ", "YmFy"}), "foo" + Bytes({0xFD, 0x89, 0x85, 0xCF}));
    EXPECT_EQ(DecodeAll(decoder, {"Zm9v", "YmFy"}), "foobar");
}

TEST(DecoderBase64, EightBitOrNulCharacterIsARangeErrorAndKeepsEarlierOutput) {
    for (const std::string& bad : {std::string("Zm\xE9v"), std::string("Zm\x80v"), std::string("Zm\0v", 4)}) {
        TMemoryStream out;
        TIdDecoderMIMELineByLine decoder;
        decoder.BeginDecode(out);
        decoder.DecodeText("Zm9v");
        try {
            decoder.DecodeText(bad);
            FAIL() << "no range error";
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), kRangeErrorText);
        }
        EXPECT_EQ(out.Data(), "foo");
    }
}

TEST(DecoderBase64, EightBitCharacterInTheLeftoverFailsOnlyAtTheEnd) {
    TMemoryStream out;
    TIdDecoderMIMELineByLine decoder;
    decoder.BeginDecode(out);
    decoder.DecodeText("Zm9vY\xE9");
    EXPECT_EQ(out.Data(), "foo");
    EXPECT_THROW(decoder.EndDecode(), ERangeError);
}

TEST(DecoderBase64, BeginDecodeForgetsTheLeftover) {
    TMemoryStream first, second;
    TIdDecoderMIMELineByLine decoder;
    decoder.BeginDecode(first);
    decoder.DecodeText("Zm");
    decoder.BeginDecode(second);
    decoder.DecodeText("Zm9v");
    decoder.EndDecode();
    EXPECT_EQ(first.Data(), "");
    EXPECT_EQ(second.Data(), "foo");
}

TEST(DecoderBase64, WholeTextDecoderDropsAnIncompleteGroup) {
    TIdDecoderMIME decoder;
    EXPECT_EQ(DecodeAll(decoder, {"Zm9vYmE", "Zm8"}), "foo");
}

TEST(DecoderBase64, DecodeStreamHonoursTheCount) {
    struct Row {
        const char* name;
        std::int64_t count;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"all", -1, "foobar"},
        {"first-group", 4, "foo"},
        {"count-beyond-end", 1000, "foobar"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryStream source("xxZm9vYmFy");
        source.Seek(2);  // decoding starts at the source's position
        TMemoryStream out;
        TIdDecoderMIME decoder;
        decoder.BeginDecode(out);
        decoder.DecodeStream(source, row.count);
        decoder.EndDecode();
        EXPECT_EQ(out.Data(), row.expected);
    }
}

TEST(DecoderBase64, DecodingWithoutDestinationRaises) {
    TIdDecoderMIME decoder;
    EXPECT_THROW(decoder.DecodeText("Zm9v"), EIdException);
}

TEST(DecoderBase64, LongLineAfterShortOnesReusesNothingStale) {
    std::string big;
    for (int i = 0; i < 20000; ++i) big += decoder_test::SampleBytes();
    const std::string encoded = EncodeBase64(big);
    TIdDecoderMIMELineByLine decoder;
    EXPECT_EQ(DecodeAll(decoder, {"Zm9v", "Zg", "==", encoded.substr(0, 5), encoded.substr(5)}), "foof" + big);
}

}  // namespace
