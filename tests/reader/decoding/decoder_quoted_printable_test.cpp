#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "reader/decoding/decoder_quoted_printable.h"
#include "transfer_decoder_test_support.h"

using decoder_test::DecodeAll;

namespace {

struct Row {
    const char* name;
    std::vector<std::string> lines;  // fed as they are, one call each
    std::string expected;
};

const std::vector<Row> kRows = {
    {"plain-line", {"Hallo Welt\r\n"}, "Hallo Welt\r\n"},
    {"upper-case-hex", {"caf=C3=A9\r\n"}, "caf\xC3\xA9\r\n"},
    {"lower-case-hex", {"caf=c3=a9\r\n"}, "caf\xC3\xA9\r\n"},
    {"encoded-line-break", {"a=0D=0Ab\r\n"}, "a\r\nb\r\n"},
    {"soft-break-joins-lines", {"Dies ist eine lange=\r\n", "Zeile\r\n"}, "Dies ist eine langeZeile\r\n"},
    {"soft-break-with-bare-lf", {"ab=\n", "cd\n"}, "abcd\n"},
    {"soft-break-skips-at-most-two-breaks", {"a=\r\n\r\n"}, "a\r\n"},
    {"blank-after-soft-break-marker", {"ab= \t\r\n", "cd\r\n"}, "abcd\r\n"},
    {"trailing-blanks-dropped", {"Ende  \t \r\n"}, "Ende\r\n"},
    {"blank-only-line", {" \t \r\n"}, "\r\n"},
    {"inner-blanks-kept", {"a \t b\r\n"}, "a \t b\r\n"},
    {"encoded-space-at-line-end-stays", {"Ende=20\r\n"}, "Ende \r\n"},
    {"encoded-space-then-blanks", {"Ende=20  \r\n"}, "Ende \r\n"},
    {"encoded-space-before-bare-lf", {"Ende=20\n"}, "Ende \r\n"},
    {"encoded-space-inside-line", {"a=20b\r\n"}, "a b\r\n"},
    {"encoded-space-at-text-end", {"a=20"}, "a "},
    {"equals-before-non-hex-vanishes", {"a=Gb\r\n"}, "aGb\r\n"},
    {"equals-before-equals", {"==41\r\n"}, "A\r\n"},
    {"one-digit-escape", {"a=4G\r\n"}, std::string("a\x04G\r\n", 5)},
    {"one-digit-zero-escape", {"a=0z"}, std::string("a\0z", 3)},
    {"only-two-digits-read", {"=414\r\n"}, "A4\r\n"},
    {"equals-at-text-end", {"abc="}, "abc"},
    {"eight-bit-passes", {"gr\xFC\xDF\r\n"}, "gr\xFC\xDF\r\n"},
};

TEST(DecoderQuotedPrintable, Rows) {
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        TIdDecoderQuotedPrintable decoder;
        EXPECT_EQ(DecodeAll(decoder, row.lines), row.expected);
    }
}

TEST(DecoderQuotedPrintable, ShortLineAfterLongOneUsesOnlyItsOwnBytes) {
    TIdDecoderQuotedPrintable decoder;
    const std::string longLine = std::string(5000, 'x') + "=3D\r\n";
    EXPECT_EQ(DecodeAll(decoder, {longLine, "a   \r\n", "b\r\n"}), std::string(5000, 'x') + "=\r\na\r\nb\r\n");
}

// One line the plain way, byte by byte: the decoder reads whole words at a
// time and must give exactly this.
std::string ReferenceDecode(std::string_view s) {
    auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::size_t runStart = s.size();
    bool blanks = false;
    while (runStart > 0 && (isBreak(s[runStart - 1]) || s[runStart - 1] == ' ' || s[runStart - 1] == '\t'))
        blanks |= !isBreak(s[--runStart]);
    std::string line(s);
    if (blanks) {
        line = std::string(s.substr(0, runStart));
        for (const char c : s.substr(runStart))
            if (isBreak(c)) line += c;
    }
    std::string out;
    std::size_t p = 0;
    auto skipBreak = [&] {
        for (int i = 0; i < 2 && p < line.size() && isBreak(line[p]); ++i) ++p;
    };
    while (p < line.size()) {
        if (line[p] != '=') {
            out += line[p++];
            continue;
        }
        if (++p == line.size()) break;
        int value = 0, digits = 0;
        for (; digits < 2 && p < line.size() && hex(line[p]) >= 0; ++digits) value = value * 16 + hex(line[p++]);
        if (digits == 0) {
            skipBreak();
        } else if (value == 0x20 && p < line.size() && isBreak(line[p])) {
            out += " \r\n";
            skipBreak();
        } else {
            out += static_cast<char>(value);
        }
    }
    return out;
}

TEST(DecoderQuotedPrintable, RandomLinesDecodeLikeTheByteByByteReading) {
    std::mt19937 rng(4711);
    const std::string alphabet = "====\r\n \t0123456789ABCDEFabcdefGz\xFC.";
    TIdDecoderQuotedPrintable decoder;
    for (int round = 0; round < 5000; ++round) {
        std::string line(rng() % 60, ' ');
        for (char& c : line) c = alphabet[rng() % alphabet.size()];
        if (rng() % 3 == 0) line.insert(rng() % (line.size() + 1), std::string(rng() % 30, 'w'));
        ASSERT_EQ(DecodeAll(decoder, {line}), ReferenceDecode(line)) << round << ": " << line;
    }
}

}  // namespace
