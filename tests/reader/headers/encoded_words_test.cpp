#include "reader/headers/encoded_words.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct Row {
    const char* name;
    std::string in, out;
};

// The token walk written the plain way: splice each decoded word into the
// text and keep walking the text. Characters from decoded words are flagged
// and never form a word again.
std::string SpliceModel(std::string_view value) {
    if (value.find("=?") == std::string_view::npos) return std::string(value);
    std::string r(value);
    std::vector<bool> dec(r.size(), false);
    const auto white = [&](std::size_t p) { return r[p - 1] == ' ' || r[p - 1] == '\t'; };
    std::size_t pos = 1, lastEnd = 1, furthest = 0;
    bool afterWord = false;
    while (pos <= r.size()) {
        std::size_t start = pos;
        while (start <= r.size() && white(start)) ++start;
        if (start > r.size()) break;
        std::size_t after = start;
        while (after <= r.size() && !white(after)) ++after;
        std::size_t cut = start;
        while (cut < after && !dec[cut - 1]) ++cut;
        int end = static_cast<int>(cut) - 1;
        std::string cs, enc, txt;
        if (cut == start || !FindEncodedWord(r, static_cast<int>(start), end, cs, enc, txt)) {
            pos = after <= r.size() ? after : 0;
            std::size_t p = 0;
            for (std::size_t i = 1; i < r.size() && p == 0; ++i)
                if (r[i - 1] == '=' && r[i] == '?' && !dec[i - 1] && !dec[i]) p = i;
            if (p > 0 && pos < p && furthest < p) pos = furthest = p;
            if (pos == 0) break;
            afterWord = false;
            continue;
        }
        std::string bytes, decoded;
        if (DecodeWordPayload(enc, txt, bytes)) {
            const TIdHeaderCoder* coder = CoderForCharset(cs);
            decoded = coder ? coder->DecodeBytes(cs, bytes) : bytes;
        }
        const std::size_t from = afterWord ? lastEnd : start;
        r = r.substr(0, from - 1) + decoded + r.substr(static_cast<std::size_t>(end));
        std::vector<bool> d(dec.begin(), dec.begin() + static_cast<std::ptrdiff_t>(from - 1));
        d.insert(d.end(), decoded.size(), true);
        d.insert(d.end(), dec.begin() + end, dec.end());
        dec = std::move(d);
        pos = lastEnd = from + decoded.size();
        afterWord = true;
    }
    std::erase(r, '\0');
    return r;
}

TEST(DecodeEncodedWords, Table) {
    const Row rows[] = {
        {"no word passes through, NUL included", "Hello\0World =x? x"s, "Hello\0World =x? x"s},
        {"B word", "=?iso-8859-1?B?SGFsbG8=?=", "Hallo"},
        {"Q underscore and escape", "=?iso-8859-1?Q?a_b=3Dc?=", "a b=c"},
        {"Q lower-case letter and hex", "=?iso-8859-1?q?=e4?=", "\xE4"},
        {"Q invalid hex is a blank", "=?iso-8859-1?Q?a=ZZb?=", "a b"},
        {"Q escape cut at the end stays", "=?iso-8859-1?Q?a=4?=", "a=4"},
        {"8 taken as it is", "=?iso-8859-1?8?\xE4_x?=", "\xE4_x"},
        {"unknown letter removes the word", "a =?iso-8859-1?X?abc?= b", "a  b"},
        {"encoding of two letters is unknown", "a =?iso-8859-1?QQ?abc?=", "a "},
        {"glued to text before", "Re:=?iso-8859-1?Q?Gr=FC=DFe?=", "Re:Gr\xFC\xDF" "e"},
        {"glued behind an earlier =? stays", "a=?b c=?iso-8859-1?Q?x?=", "a=?b c=?iso-8859-1?Q?x?="},
        {"glued word before a decoded last word stays", "x=?iso-8859-1?Q?a?=y =?iso-8859-1?Q?b?=",
         "x=?iso-8859-1?Q?a?=y b"},
        {"glued words found one after another", "a=?iso-8859-1?Q?1?= b=?iso-8859-1?Q?2?=", "a1 b2"},
        {"glued word needs the value to end in a token", "Re:=?iso-8859-1?Q?x?= ", "Re:=?iso-8859-1?Q?x?= "},
        {"removed word joins = and ?, which ends the jumps", "x==?a?X?b?=?c =?iso-8859-1?Q?d?= y=?iso-8859-1?Q?e?=",
         "x=?c d y=?iso-8859-1?Q?e?="},
        {"adjacent words lose the blank between them", "=?iso-8859-1?B?SGFsbG8g?= =?iso-8859-1?Q?Welt?=",
         "Hallo Welt"},
        {"adjacent words across blanks and TAB", "=?iso-8859-1?Q?a?= \t =?iso-8859-1?Q?b?=", "ab"},
        {"plain word between keeps its blanks", "=?iso-8859-1?Q?a?= x =?iso-8859-1?Q?b?=", "a x b"},
        {"words glued to each other", "=?iso-8859-1?Q?a?==?iso-8859-1?Q?b?=", "ab"},
        {"plain text glued after a word", "=?iso-8859-1?Q?a?=xyz", "axyz"},
        {"blanks around words stay", "  =?iso-8859-1?Q?a?=  ", "  a  "},
        {"blank inside a word keeps it", "=?iso-8859-1?Q?a b?=", "=?iso-8859-1?Q?a b?="},
        {"incomplete word stays", "=?iso-8859-1?Q?abc", "=?iso-8859-1?Q?abc"},
        {"lone marker stays", "=?", "=?"},
        {"lower-case utf-8 is converted", "=?utf-8?Q?=C3=A4?=", "\xE4"},
        {"UTF8 without hyphen is byte for byte", "=?UTF8?Q?=C3=A4?=", "\xC3\xA4"},
        {"utf-8 emoji becomes a question mark", "=?utf-8?B?YfCfmIBi?=", "a?b"},
        {"utf-8 malformed byte stays", "=?utf-8?Q?M=FCller?=", "M\xFCller"},
        {"utf-8 cut sequence stays", "=?UTF-8?Q?x=C3?=", "x\xC3"},
        {"utf-8 outside the code page", "=?utf-8?Q?=E4=B8=AD=E2=82=AC?=", "?\x80"},
        {"ISO-2022-JP to Shift_JIS", "=?ISO-2022-JP?B?GyRCJEgkTxsoQng=?=", "\x82\xC6\x82\xCDx"},
        {"unknown charset gives the bytes", "=?Big5?Q?=A4=A4?=", "\xA4\xA4"},
        {"empty charset gives the bytes", "=?\?Q?a?=", "a"},
        {"B padding leaves no NUL", "=?iso-8859-1?B?YQ==?= =?iso-8859-1?B?YWI=?=", "aab"},
        {"B without padding loses the incomplete group", "=?iso-8859-1?B?YWJjZA?=", "abc"},
        {"B shorter than four gives nothing", "x =?iso-8859-1?B?YW?= y", "x  y"},
        {"B invalid characters count as zero", "=?iso-8859-1?B?YW!!?=", "a`"},
        {"NUL removed once a word is present", "a\0b =?iso-8859-1?Q?c=00?="s, "ab c"},
        {"decoded text is not read again", "=?iso-8859-1?Q?=3D=3Fiso-8859-1=3FQ=3Fz=3F=3D?= x",
         "=?iso-8859-1?Q?z?= x"},
        {"decoded =? does not block a glued word", "=?iso-8859-1?Q?=3D=3F?= Re:=?iso-8859-1?Q?x?=", "=? Re:x"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(DecodeEncodedWords(r.in), r.out) << r.name;
        EXPECT_EQ(SpliceModel(r.in), r.out) << "model: " << r.name;
    }
}

TEST(FindEncodedWord, PartsAndLimits) {
    std::string charset, encoding, text;
    int end = 20;
    ASSERT_TRUE(FindEncodedWord("x =?cs?Q?abc?= y", 3, end, charset, encoding, text));
    EXPECT_EQ(end, 14);
    EXPECT_EQ(charset, "cs");
    EXPECT_EQ(encoding, "Q");
    EXPECT_EQ(text, "abc");

    struct Case {
        const char* name;
        const char* text;
        int start, end;
    } misses[] = {
        {"not at start", "x=?cs?Q?a?=", 1, 11},
        {"closing beyond end", "=?cs?Q?a?=", 1, 9},
        {"no second question mark", "=?cs?=", 1, 6},
        {"end beyond text", "=?cs", 1, 99},
        {"start beyond text", "=?", 5, 6},
        {"start below one", "=?cs?Q?a?=", 0, 10},
    };
    for (const auto& m : misses) {
        int e = m.end;
        EXPECT_FALSE(FindEncodedWord(m.text, m.start, e, charset, encoding, text)) << m.name;
    }
}

TEST(DecodeWordPayload, Letters) {
    std::string bytes = "junk";
    EXPECT_TRUE(DecodeWordPayload("b", "QUJD", bytes));
    EXPECT_EQ(bytes, "ABC");
    EXPECT_TRUE(DecodeWordPayload("q", "_=41", bytes));
    EXPECT_EQ(bytes, " A");
    EXPECT_TRUE(DecodeWordPayload("8", "=41", bytes));
    EXPECT_EQ(bytes, "=41");
    EXPECT_FALSE(DecodeWordPayload("X", "abc", bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_TRUE(DecodeWordPayload("B", "////", bytes));
    EXPECT_EQ(bytes, "\xFF\xFF\xFF");
}

TEST(HeaderCoders, WhoHandlesWhichCharset) {
    const TIdHeaderCoderUTF8 utf8;
    const TIdHeaderCoder2022JP jp;
    const TIdHeaderCoderPlain plain;
    struct C {
        const char* charset;
        const TIdHeaderCoder* coder;
    } rows[] = {
        {"UTF-8", &utf8},        {"utf-8", &utf8},         {"utf8", nullptr},       {"ISO-2022-JP", &jp},
        {"iso-2022-jp", &jp},    {"iso-8859-1", &plain},   {"ISO-8859-15", &plain}, {"windows-1252", &plain},
        {"koi8-r", &plain},      {"gb2312", &plain},       {"us-ascii", &plain},    {"ascii", nullptr},
        {"Big5", nullptr},       {"Shift_JIS", nullptr},   {"", nullptr},
    };
    for (const auto& r : rows) {
        const TIdHeaderCoder* found = CoderForCharset(r.charset);
        const TIdHeaderCoder* expected = r.coder;
        if (expected == nullptr) {
            EXPECT_EQ(found, nullptr) << r.charset;
        } else {
            ASSERT_NE(found, nullptr) << r.charset;
            EXPECT_EQ(typeid(*found), typeid(*expected)) << r.charset;
        }
    }
}

TEST(HeaderCoders, RegistryAsksTheLastRegisteredFirst) {
    const TIdHeaderCoderPlain plain;
    const TIdHeaderCoder2022JP jp;
    TIdHeaderCoderList list;
    EXPECT_EQ(list.Lookup("ISO-8859-1"), nullptr);
    list.Register(&plain);
    list.Register(&jp);
    list.Register(&plain);  // already there: stays where it was
    EXPECT_EQ(list.Lookup("iso-2022-jp"), &jp);
    EXPECT_EQ(list.Lookup("iso-8859-1"), &plain);
    list.Unregister(&jp);
    EXPECT_EQ(list.Lookup("iso-2022-jp"), nullptr);
    EXPECT_EQ(list.Lookup("iso-8859-1"), &plain);
}

TEST(HeaderCoders, Iso2022JpEdges) {
    const TIdHeaderCoder2022JP jp;
    const Row rows[] = {
        {"single-byte copied", "abc", "abc"},
        {"two-byte odd first byte", "\x1B$B\x21\x21", "\x81\x40"},
        {"two-byte odd first byte, high second", "\x1B$B\x21\x60", "\x81\x80"},
        {"two-byte even first byte", "\x1B$B\x24\x48", "\x82\xC6"},
        {"high first byte", "\x1B$B\x60\x21", "\xE0\x9F"},
        {"back to single-byte", "\x1B$B\x24\x48\x1B(Bx", "\x82\xC6x"},
        {"other escape keeps the mode and is skipped", "\x1B$B\x1B(J\x24\x48", "\x82\xC6"},
        {"lone last byte in two-byte mode dropped", "\x1B$B\x24\x48\x24", "\x82\xC6"},
        {"escape without two bytes dropped", "a\x1B$", "a$"},
        {"escape at the end dropped", "a\x1B", "a"},
        {"first byte 0 wraps", "\x1B$B\x00\x90"s, "\x70\x0E"},
        {"first byte above range wraps", "\x1B$B\xA0\xFF", "\x00\x7D"s},
        {"odd high pair wraps", "\x1B$B\xFF\xFF", "\x30\x1F"},
    };
    for (const auto& r : rows) EXPECT_EQ(jp.DecodeBytes("ISO-2022-JP", r.in), r.out) << r.name;
}

TEST(DecodeEncodedWords, AgreesWithTheSpliceModelOnRandomValues) {
    const std::vector<std::string> pieces = {
        " ", "\t", "  ", "a", "Re:", "=", "?", "=?", "?=", "Q", "B", "_", "=3D", "\0"s,
        "=?iso-8859-1?Q?x?=", "=?utf-8?B?SGk=?=", "=?x?X?y?=", "=?iso-8859-1?Q?\?=", "=?iso-8859-1?Q?=3D=3F?=",
        "=?iso-8859-1?Q?=3D?=", "=?iso-8859-1?Q?=3F?=", "=?iso-8859-1?Q?_?=", "=?a", "b?=", "?Q?",
        "=?us-ascii?Q?=3D=3Fus-ascii=3FQ=3Fz=3F=3D?=", "=?iso-8859-1?Q?=00?=",
    };
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1), count(1, 12);
    for (int n = 0; n < 25000; ++n) {
        std::string v;
        for (std::size_t i = count(rng); i > 0; --i) v += pieces[pick(rng)];
        ASSERT_EQ(DecodeEncodedWords(v), SpliceModel(v)) << "value: " << v;
    }
    const std::string alphabet = "=?\?=QBa_ \t3D";
    std::uniform_int_distribution<std::size_t> ch(0, alphabet.size() - 1), len(0, 24);
    for (int n = 0; n < 25000; ++n) {
        std::string v;
        for (std::size_t i = len(rng); i > 0; --i) v += alphabet[ch(rng)];
        ASSERT_EQ(DecodeEncodedWords(v), SpliceModel(v)) << "value: " << v;
    }
}

std::string Repeat(std::string_view piece, int n) {
    std::string s;
    s.reserve(piece.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) s += piece;
    return s;
}

TEST(DecodeEncodedWords, TenThousandWords) {
    std::string value, expected;
    for (int i = 0; i < 10000; ++i) {
        value += (i ? " =?utf-8?Q?w" : "=?utf-8?Q?w") + std::to_string(i) + "_?=";
        expected += "w" + std::to_string(i) + " ";
    }
    EXPECT_EQ(DecodeEncodedWords(value), expected);

    // Glued words are each reached by a jump from the end of the value.
    EXPECT_EQ(DecodeEncodedWords(Repeat("x=?iso-8859-1?Q?y?= ", 10000) + "x=?iso-8859-1?Q?y?="),
              Repeat("xy ", 10000) + "xy");
    EXPECT_EQ(DecodeEncodedWords(Repeat("=?iso-8859-1?Q?y?=", 10000)), Repeat("y", 10000));
    EXPECT_EQ(DecodeEncodedWords(Repeat("x=?iso-8859-1?Q?y?=", 10000)), Repeat("xy", 10000));
    EXPECT_EQ(DecodeEncodedWords(Repeat("=?a ", 10000)), Repeat("=?a ", 10000));
}

// Splicing each word into the text would take minutes here (100,000 words of
// a 2 MB value); a linear walk takes well under a second even with
// sanitizers, so the generous limit only trips on quadratic work.
TEST(DecodeEncodedWords, LongValuesStayFast) {
    for (const char* piece : {"=?iso-8859-1?Q?y?= ", "x=?iso-8859-1?Q?y?= ", "=?a ", "=?iso-8859-1?Q?y?="}) {
        const std::string value = Repeat(piece, 100000) + "x=?iso-8859-1?Q?y?=";
        const auto t0 = std::chrono::steady_clock::now();
        const std::string out = DecodeEncodedWords(value);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_FALSE(out.empty()) << piece;
        EXPECT_LT(seconds, 15.0) << piece;
    }
}

}  // namespace
