#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace {

using platform::EncodingForLabel;

TEST(TextEncoding, LabelsMapAsBrowsersMapThem) {
    struct Row {
        const char* label;
        const char* encoding;  // nullptr: unknown
    } rows[] = {
        {"iso-8859-1", "windows-1252"}, {"latin1", "windows-1252"},   {"us-ascii", "windows-1252"},
        {"gb2312", "GBK"},              {"ks_c_5601-1987", "EUC-KR"}, {"utf8", "UTF-8"},
        {" UTF-8\t", "UTF-8"},          {"KOI8_R", "KOI8-R"},         {"sjis", "Shift_JIS"},
        {"iso-2022-kr", "ISO-2022-KR"}, {"hz-gb-2312", "replacement"}, {"x-unknown", nullptr},
        {"", nullptr},                  {"utf-8 x", nullptr},
    };
    for (const Row& row : rows) {
        const platform::TextEncoding* encoding = EncodingForLabel(row.label);
        EXPECT_EQ(encoding ? encoding->name : "(unknown)", row.encoding ? row.encoding : "(unknown)") << row.label;
    }
}

TEST(TextEncoding, WhatADecoderCannotReadBecomesAReplacementCharacter) {
    struct Row {
        const char* name;
        const char* label;
        std::string in, out;
    } rows[] = {
        {"undefined single byte", "windows-1251", "a\x98" "b", "a\xEF\xBF\xBD" "b"},
        {"cut double byte at the end", "shift_jis", "a\x93", "a\xEF\xBF\xBD"},
        {"cut pair in two-byte mode", "iso-2022-jp", "\x1B$BF|K", "\xE6\x97\xA5\xEF\xBF\xBD"},
        {"Windows extension and half-width katakana", "iso-2022-jp", "\x1B$B-b\x1B(I1\x1B(B",
         "\xE2\x84\x96\xEF\xBD\xB1"},
        {"malformed UTF-8 byte by byte as Windows-1252", "utf-8", "\xE2\x82 \xF0\x9F\x98\x80",
         "\xC3\xA2\xE2\x80\x9A \xF0\x9F\x98\x80"},
        {"replacement", "hz-gb-2312", "~{abc", "\xEF\xBF\xBD"},
        {"user defined", "x-user-defined", "a\x80", "a\xEF\x9E\x80"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(platform::DecodeToUtf8(*EncodingForLabel(row.label), row.in), row.out) << row.name;
}

}  // namespace
