#include "reader/headers/header_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TIdHeaderList Make(const Lines& lines) {
    TIdHeaderList list;
    for (const auto& l : lines) list.Add(l);
    return list;
}

TEST(HeaderList, ValueOf) {
    struct Row {
        const char* name;
        Lines lines;
        const char* field;
        const char* expected;
    } rows[] = {
        {"first field wins", {"Received: a", "Subject: Hi", "Received: b"}, "received", "a"},
        {"folded with blanks and tab", {"Subject: Hello", "  big", "\tworld"}, "Subject", "Hello big world"},
        {"empty line ends the field", {"Subject: a", "", " b"}, "Subject", "a"},
        {"next field ends the field", {"Subject: a", "To: b", " c"}, "Subject", "a"},
        {"missing field", {"Subject: a"}, "From", ""},
        {"no blank after colon", {"To:x"}, "To", "x"},
        {"padded value", {"To:   x  "}, "To", "x"},
        {"blank before colon matches nothing", {"Subject : x"}, "Subject", ""},
        {"empty first line value", {"Subject:", "   x"}, "Subject", "x"},
        {"blank continuation", {"Subject: a", "   ", " b"}, "Subject", "a b"},
        {"colon inside value", {"Subject: a: b"}, "subject", "a: b"},
        {"locale case of the name", {"X-Gr\xFC\xDF" "e: 1"}, "x-gr\xDC\xDF" "e", "1"},
        {"later field reachable only by index", {"To: a", "To: b"}, "TO", "a"},
    };
    for (const auto& r : rows) EXPECT_EQ(Make(r.lines).ValueOf(r.field), r.expected) << r.name;
}

TEST(HeaderList, FieldNameAndIndexLookup) {
    TIdHeaderList list = Make({"Received: a", "Subject: Hi", "Received: b", " cont", "Subject : x", "noColon"});
    EXPECT_EQ(list.FindField("SUBJECT"), 1);
    EXPECT_EQ(list.FindField("received"), 0);
    EXPECT_EQ(list.FindField("Cc"), -1);
    EXPECT_EQ(list.FieldNameAt(0), "RECEIVED");
    EXPECT_EQ(list.FieldNameAt(3), "");
    EXPECT_EQ(list.FieldNameAt(4), "SUBJECT ");
    EXPECT_EQ(list.FieldNameAt(5), "");
    EXPECT_EQ(list.FieldValueAt(2), "b cont");
    EXPECT_EQ(list.FieldValueAt(-1), "");
    EXPECT_EQ(list.FieldValueAt(list.Count()), "");
    // A line without colon counts as an empty name.
    EXPECT_EQ(list.FindField(""), 3);

    list.MatchCase = true;
    EXPECT_EQ(list.FieldNameAt(0), "Received");
    EXPECT_EQ(list.FindField("SUBJECT"), 1);  // lookup ignores case regardless

    list.JoinFolded = false;
    EXPECT_EQ(list.FieldValueAt(2), "b");
}

TEST(HeaderList, EqualsSeparatorForPartParameters) {
    TIdHeaderList list = Make({"name=a b.txt", "charset=utf-8", "x=1=2"});
    list.HeaderSeparator = "=";
    EXPECT_EQ(list.ValueOf("NAME"), "a b.txt");
    EXPECT_EQ(list.ValueOf("x"), "1=2");
    TStringList copy;
    list.CopyAsNameEquals(copy);
    EXPECT_EQ(copy.Lines(), (Lines{"name=a b.txt", "charset=utf-8", "x=1=2"}));
}

TEST(HeaderList, JoiningManyContinuationsStaysLinear) {
    TIdHeaderList list;
    list.Add("To: start");
    for (int i = 0; i < 40000; ++i) list.Add("\t  someone@example.org,  ");
    const std::string value = list.ValueOf("to");
    EXPECT_EQ(value.size(), 5 + 40000 * 21u);
    EXPECT_EQ(value.substr(0, 28), "start someone@example.org, s");
}

TEST(HeaderList, PutValue) {
    struct Row {
        const char* name;
        Lines before;
        bool wrapOnWrite;
        const char* field;
        std::string value;
        Lines after;
    } rows[] = {
        {"append new field", {"A: 1"}, true, "Subject", "Hi", {"A: 1", "Subject: Hi"}},
        {"replace keeps caller's case and drops continuations",
         {"A: 1", "Subject: old", " more", "\tmore", "B: 2"}, true, "subject", "new",
         {"A: 1", "subject: new", "B: 2"}},
        {"empty value deletes field and continuations", {"A: 1", "Subject: old", " more", "B: 2"}, true,
         "SUBJECT", "", {"A: 1", "B: 2"}},
        {"empty value for a missing field", {"A: 1"}, true, "Subject", "", {"A: 1"}},
        {"without wrapping only the line is replaced", {"Subject: old", " more"}, false, "Subject", "new",
         {"Subject: new", " more"}},
        {"without wrapping delete keeps continuations", {"Subject: old", " more"}, false, "Subject", "",
         {" more"}},
        {"only the first of two fields changes", {"To: a", "To: b"}, true, "To", "c", {"To: c", "To: b"}},
        {"long value folds at the last blank", {}, true, "X",
         std::string(70, 'a') + " " + std::string(20, 'b') + " " + std::string(10, 'c'),
         {"X: " + std::string(70, 'a'), " " + std::string(20, 'b') + " " + std::string(10, 'c')}},
        {"long value folds after a comma", {"A: 1", "B: 2"}, true, "A",
         std::string(40, 'a') + "," + std::string(40, 'b'),
         {"A: " + std::string(40, 'a') + ",", " " + std::string(40, 'b'), "B: 2"}},
        {"unbreakable value moves to its own line", {}, true, "X", std::string(100, 'a'),
         {"X:", " " + std::string(100, 'a')}},
        {"no fold inside quotes; fold as the quote closes", {}, true, "X",
         "\"" + std::string(40, 'a') + " " + std::string(40, 'a') + "\" tail",
         {"X:", " \"" + std::string(40, 'a') + " " + std::string(40, 'a') + "\"", " tail"}},
        {"blanks after the fold stay on the continuation", {}, true, "X", std::string(74, 'a') + "   bc",
         {"X: " + std::string(74, 'a'), "   bc"}},
        {"a single last character is not folded alone", {}, true, "X", std::string(74, 'a') + " z",
         {"X: " + std::string(74, 'a') + " z"}},
        {"short enough stays one line", {}, true, "X", std::string(75, 'a'),
         {"X: " + std::string(75, 'a')}},
    };
    for (const auto& r : rows) {
        TIdHeaderList list = Make(r.before);
        list.WrapOnWrite = r.wrapOnWrite;
        list.PutValue(r.field, r.value);
        EXPECT_EQ(list.Lines(), r.after) << r.name;
    }
}

TEST(HeaderList, WrapToLines) {
    struct Row {
        const char* name;
        int width;
        std::string text;
        Lines expected;
    } rows[] = {
        {"simple", 10, "aaaa bbbb cccc", {"aaaa bbbb", " cccc"}},
        {"no break character", 10, std::string(30, 'a'), {std::string(30, 'a')}},
        {"existing break kept", 78, "a\r\n b", {"a", " b"}},
        {"bare line break still cuts", 78, "a\r\nb", {"a", "b"}},
        {"commas inside quotes do not break", 10, "\"a, b, c, d\" ee", {"\"a, b, c, d\"", " ee"}},
        {"tab breaks", 10, "aaaaaaa\tbbbbbbb", {"aaaaaaa", " bbbbbbb"}},
        {"empty text", 78, "", {}},
        {"trailing blanks trimmed", 78, "abc   ", {"abc"}},
    };
    for (const auto& r : rows) {
        TIdHeaderList list;
        list.WrapWidth = r.width;
        EXPECT_EQ(list.WrapToLines(r.text).Lines(), r.expected) << r.name;
    }
}

// Short lines take a shortcut past the wrapping; the result must be what
// the full wrap gives, at every length around the width.
TEST(HeaderList, WrapAndInsertMatchesWrapToLines) {
    std::mt19937 rng(31337);
    const std::string alphabet = "aaaaaa  ,,\"\t\n\r:;";
    for (int round = 0; round < 4000; ++round) {
        TIdHeaderList list;
        list.WrapWidth = 20 + static_cast<int>(rng() % 70);
        std::string text(rng() % 120, 'a');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        if (rng() % 2 == 0) text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        list.Add("old");
        list.WrapAndInsert(text, 0);
        std::vector<std::string> expected = list.WrapToLines(text).Lines();
        if (expected.empty()) expected.push_back("");
        ASSERT_EQ(list.Lines(), expected) << round << " width " << list.WrapWidth << ": " << text;
    }
}

TEST(HeaderList, CopyAsNameEqualsAppends) {
    TIdHeaderList list = Make({"Subject: a: b", " more text", "To:x"});
    TStringList target{"kept"};
    list.CopyAsNameEquals(target);
    EXPECT_EQ(target.Lines(), (Lines{"kept", "Subject=a: b", " more text", "To:x"}));
}

}  // namespace
