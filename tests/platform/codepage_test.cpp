#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, RoundTripsEveryByteThroughUtf8) {
    for (int b = 0; b < 256; ++b) {
        const std::string local(1, static_cast<char>(b));
        EXPECT_EQ(platform::Utf8ToLocal(platform::LocalToUtf8(local)), local) << b;
    }
}

TEST(Codepage, NonAsciiByteAnywhereInALongerText) {
    for (std::size_t at = 0; at < 20; ++at) {
        std::string local(20, 'a');
        local[at] = '\xE4';
        const std::string expected = std::string(at, 'a') + "\xC3\xA4" + std::string(19 - at, 'a');
        EXPECT_EQ(platform::LocalToUtf8(local), expected) << at;
    }
}

TEST(Codepage, UndefinedBytesMapToTheirOwnCodePoints) {
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(platform::LocalCharToUnicode(b), b);
    EXPECT_EQ(platform::LocalCharToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(platform::LocalCharToUnicode(0xE4), U'\u00E4');
}

TEST(Codepage, Utf8ToLocalIsLenient) {
    struct Row {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"umlaut", "\xC3\xA4", "\xE4"},
        {"euro", "\xE2\x82\xAC", "\x80"},
        {"emoji becomes question mark", "a\xF0\x9F\x98\x80" "b", "a?b"},
        {"cjk becomes question mark", "\xE4\xB8\xAD", "?"},
        {"stray latin1 byte kept", "M\xFCller", "M\xFCller"},
        {"cut sequence kept byte by byte", "x\xC3", "x\xC3"},
        {"overlong form kept byte by byte", "\xC0\xAF", "\xC0\xAF"},
        {"surrogate kept byte by byte", "\xED\xA0\x80", "\xED\xA0\x80"},
    };
    for (const auto& r : rows) EXPECT_EQ(platform::Utf8ToLocal(r.in), r.out) << r.name;
}

TEST(Codepage, CaseRules) {
    EXPECT_EQ(platform::UpperCaseLocale("abc\xE4\xF6\xFC\xFF\x9A"), "ABC\xC4\xD6\xDC\x9F\x8A");
    EXPECT_EQ(platform::UpperCaseAscii("abc\xE4"), "ABC\xE4");
    EXPECT_EQ(platform::UpperCaseLocale("\xDF\xF7"), "\xDF\xF7");  // no upper form
    EXPECT_TRUE(platform::SameTextLocale("Content-Type", "CONTENT-TYPE"));
    EXPECT_TRUE(platform::SameTextLocale("\xE4", "\xC4"));
    EXPECT_FALSE(platform::SameTextLocale("a", "ab"));
    EXPECT_TRUE(platform::StartsTextLocale("Multipart/Mixed", "multipart/"));
    EXPECT_FALSE(platform::StartsTextLocale("multi", "multipart/"));
    EXPECT_EQ(platform::FindTextLocale("xxBoundary=", "BOUNDARY"), 2u);
}

}  // namespace
