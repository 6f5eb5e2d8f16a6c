#include "reader/headers/header_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(HeaderText, TrimRemovesControlCharactersAndBlanks) {
    const std::string padded = std::string("\0\t\r\n x y \x1F ", 11);
    EXPECT_EQ(Trim(padded), "x y");
    EXPECT_EQ(TrimLeft(padded), "x y \x1F ");
    EXPECT_EQ(TrimRight(padded), std::string("\0\t\r\n x y", 8));
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // no-break space is a character here
    EXPECT_EQ(Trim("   "), "");
}

TEST(HeaderText, StrToIntDef) {
    struct Row {
        const char* name;
        const char* in;
        int expected;
    } rows[] = {
        {"plain", "42", 42},
        {"padded", " \t-7 ", -7},
        {"plus sign", "+3", 3},
        {"empty", "", -99},
        {"sign only", "-", -99},
        {"trailing garbage", "12a", -99},
        {"inner blank", "1 2", -99},
        {"max", "2147483647", INT_MAX},
        {"min", "-2147483648", INT_MIN},
        {"overflow", "2147483648", -99},
        {"negative overflow", "-2147483649", -99},
        {"huge", "99999999999999999999999", -99},
    };
    for (const auto& r : rows) EXPECT_EQ(StrToIntDef(r.in, -99), r.expected) << r.name;
}

TEST(HeaderText, SplitOff) {
    struct Row {
        const char* name;
        std::string source, delimiter;
        bool remove, caseSensitive;
        std::string result, rest;
    } rows[] = {
        {"first delimiter", "a;b;c", ";", true, true, "a", "b;c"},
        {"not found empties source", "abc", ";", true, true, "abc", ""},
        {"not found without remove", "abc", ";", false, true, "abc", "abc"},
        {"found without remove", "a;b", ";", false, true, "a", "a;b"},
        {"multi-character delimiter", "a--b--c", "--", true, true, "a", "b--c"},
        {"delimiter at end", "ab;", ";", true, true, "ab", ""},
        {"delimiter at start", ";ab", ";", true, true, "", "ab"},
        {"default blank", "one two three", " ", true, true, "one", "two three"},
        {"case matters", "aXbxc", "x", true, true, "aXb", "c"},
        {"case ignored keeps case", "aXbxc", "x", true, false, "a", "bxc"},
        {"nul delimiter", std::string("a\0b", 3), std::string("\0", 1), true, true, "a", "b"},
        {"empty delimiter is never found", "abc", "", true, true, "abc", ""},
    };
    for (const auto& r : rows) {
        std::string source = r.source;
        EXPECT_EQ(SplitOff(source, r.delimiter, r.remove, r.caseSensitive), r.result) << r.name;
        EXPECT_EQ(source, r.rest) << r.name;
    }
}

TEST(HeaderText, SplitOffNoCaseChangesOnlyAsciiLetters) {
    std::string source = "x\xE4y\xC4z";
    // 0xE4/0xC4 are a/A umlaut: not the same letter for this search.
    EXPECT_EQ(SplitOffNoCase(source, "\xC4"), "x\xE4y");
    EXPECT_EQ(source, "z");
    source = "Content-Type";
    EXPECT_EQ(SplitOffNoCase(source, "-TYPE", false), "Content");
    EXPECT_EQ(source, "Content-Type");
}

TEST(HeaderText, FindAsciiNoCase) {
    struct Row {
        const char* name;
        std::string text;
        std::string key;
        std::size_t expected;
    } rows[] = {
        {"upper key in lower text", "x; charset=a", "CHARSET=", 3},
        {"lower key in upper text", "X; CHARSET=A", "charset=", 3},
        {"restart after a partial match", "nanamex", "NAME", 2},
        {"key at the very end", "abc", "BC", 1},
        {"key longer than text", "ab", "abc", std::string::npos},
        {"empty key", "abc", "", std::string::npos},
        {"umlauts compared exactly", "\xE4\xC4", "\xC4", 1},
        {"umlaut is no letter pair", "\xE4", "\xC4", std::string::npos},
        {"letter next to symbol", "@", "`", std::string::npos},
    };
    for (const auto& r : rows) EXPECT_EQ(FindAsciiNoCase(r.text, r.key), r.expected) << r.name;
}

TEST(HeaderText, HeaderMainValue) {
    EXPECT_EQ(HeaderMainValue("text/plain; charset=x"), "text/plain");
    EXPECT_EQ(HeaderMainValue(" text/plain ;x"), " text/plain ");
    EXPECT_EQ(HeaderMainValue("text/html"), "text/html");
    EXPECT_EQ(HeaderMainValue(""), "");
}

TEST(HeaderText, HeaderParamValue) {
    struct Row {
        const char* name;
        const char* value;
        const char* key;
        const char* expected;
    } rows[] = {
        {"quoted filename found by NAME=", "attachment; filename=\"a b.txt\"", "NAME=", "a b.txt"},
        {"plain charset", "text/plain; charset=iso-8859-1", "CHARSET=", "iso-8859-1"},
        {"absent", "text/plain", "CHARSET=", ""},
        {"unclosed quote takes the rest", "text/plain; name=\"a;b", "NAME=", "a;b"},
        {"ends at semicolon untrimmed", "text/plain; charset=utf-8 ;x", "CHARSET=", "utf-8 "},
        {"blank before equals misses", "text/plain; charset = utf-8", "CHARSET=", ""},
        {"first occurrence wins", "a; filename=f; name=n", "NAME=", "f"},
        {"key at the end", "text/plain; charset=", "CHARSET=", ""},
        {"empty quotes", "x; name=\"\"; y", "NAME=", ""},
        {"backslash not interpreted", "x; name=\"a\\\"b\"", "NAME=", "a\\"},
        {"key case ignored", "x; ChArSeT=us-ascii", "CHARSET=", "us-ascii"},
    };
    for (const auto& r : rows) EXPECT_EQ(HeaderParamValue(r.value, r.key), r.expected) << r.name;
}

TEST(HeaderText, FirstCharInAndNotIn) {
    struct Row {
        const char* name;
        const char* set;
        const char* text;
        int length, start;
        int in, notIn;
    } rows[] = {
        {"whole text", ",;", "ab;c,", -1, 1, 3, 1},
        {"from a later start", ",;", "ab;c,", -1, 4, 5, 4},
        {"length limits the search", ",;", "ab;c,", 2, 1, 0, 1},
        {"length beyond the end", ",;", "ab;c,", 50, 4, 5, 4},
        {"none found", "xyz", "abc", -1, 1, 0, 1},
        {"all in set", "abc", "cab", -1, 1, 1, 0},
        {"empty set", "", "abc", -1, 2, 0, 2},
        {"empty text", "a", "", -1, 1, 0, 0},
        {"start past the end", "a", "abc", -1, 4, 0, 0},
        {"start far past the end", "a", "abc", -1, 100, 0, 0},
        {"zero length", "a", "abc", 0, 1, 0, 0},
        {"empty set on empty text", "", "", -1, 1, 0, 0},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(FirstCharIn(r.set, r.text, r.length, r.start), r.in) << r.name;
        EXPECT_EQ(FirstCharNotIn(r.set, r.text, r.length, r.start), r.notIn) << r.name;
    }
}

TEST(HeaderText, StripCharsAtEnds) {
    EXPECT_EQ(StripCharsAtEnds(" \t", " \t a b\t "), "a b");
    EXPECT_EQ(StripCharsAtEnds(" ", "   "), "");
    EXPECT_EQ(StripCharsAtEnds("", " a "), " a ");
    EXPECT_EQ(StripCharsAtEnds("<>", "<<a>"), "a");
}

TEST(HeaderText, SplitCommaList) {
    struct Row {
        const char* name;
        const char* value;
        std::vector<std::string> expected;
    } rows[] = {
        {"quoted comma and empty entries", "a.b, \"c,d\" ,, e", {"a.b", "\"c,d\"", "e"}},
        {"single entry", " comp.lang.c ", {"comp.lang.c"}},
        {"empty", "", {}},
        {"only commas", " , ,", {}},
        {"closed quote lets commas cut again", "\"x\",y", {"\"x\"", "y"}},
        {"unclosed quote keeps the rest", "a, \"b, c", {"a", "\"b, c"}},
        {"only a first quoted stretch protects", "\"a\" \"b,c\"", {"\"a\" \"b", "c\""}},
        {"quote count restarts per entry", "\"a,\"b,c\",d", {"\"a,\"b", "c\",d"}},
    };
    for (const auto& r : rows) {
        TStringList list{"stale"};
        SplitCommaList(list, r.value);
        EXPECT_EQ(list.Lines(), r.expected) << r.name;
    }
}

}  // namespace
