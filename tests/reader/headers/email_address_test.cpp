#include "reader/headers/email_address.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;  // name, address

Pairs Parse(std::string_view value) {
    TIdEMailAddressList list;
    list.Add().Address = "stale@x";
    list.ParseAddressList(value);
    Pairs out;
    for (int i = 0; i < list.Count(); ++i) out.emplace_back(list.Items(i).Name, list.Items(i).Address);
    return out;
}

TEST(EmailAddress, ParseAddressList) {
    struct Row {
        const char* name;
        std::string value;
        Pairs expected;
    } rows[] = {
        {"empty", "", {}},
        {"blank", " \t ", {}},
        {"bare address", "a@x.y", {{"", "a@x.y"}}},
        {"bare word", "Bob", {{"", "Bob"}}},
        {"quoted name keeps its comma", "A <a@x>, \"B, C\" <b@y>", {{"A", "a@x"}, {"B, C", "b@y"}}},
        {"group name dropped", "Team: a@x, b@y;", {{"", "a@x"}, {"", "b@y"}}},
        {"empty entry between commas", "a@x, , b@y", {{"", "a@x"}, {"", "b@y"}}},
        {"empty angle brackets dropped", "a@x, <>, b@y", {{"", "a@x"}, {"", "b@y"}}},
        {"empty group", "undisclosed-recipients:;", {}},
        {"group then more", "Friends: \"A B\" <a@x>, b@y;, c@z", {{"A B", "a@x"}, {"", "b@y"}, {"", "c@z"}}},
        {"comment after address", "a@x (Alice), b@y", {{"", "a@x"}, {"", "b@y"}}},
        {"comma inside a comment", "a@x (Smith, Al)", {{"", "a@x"}}},
        {"unclosed comment swallows the rest", "a@x (oops, b@y", {{"", "a@xoops, b@y"}}},
        {"escaped quote inside quotes", "\"a\\\"b\" <j@x>, c@y", {{"a\"b", "j@x"}, {"", "c@y"}}},
        {"escaped comma inside quotes", "\"a\\,b\" <j@x>", {{"a,b", "j@x"}}},
        {"backslash outside quotes escapes nothing", "a\\,b@x", {{"", "a\\"}, {"", "b@x"}}},
        {"trailing backslash inside quotes", "\"abc\\", {{"abc", ""}}},
        {"trailing comma", "a@x,", {{"", "a@x"}}},
        {"tab separated", "A\t<a@x>", {{"A", "a@x"}}},
        {"words before a bare address", "John Doe j@x", {{"John Doe ", "j@x"}}},
    };
    for (const auto& r : rows) EXPECT_EQ(Parse(r.value), r.expected) << r.name;
}

TEST(EmailAddress, SetText) {
    struct Row {
        const char* name;
        std::string text;
        std::string expectedName, expectedAddress;
    } rows[] = {
        {"name and angle address", "John Doe <j@x.y>", "John Doe", "j@x.y"},
        {"quoted name", "\"Doe, John\" <jd@x>", "Doe, John", "jd@x"},
        {"blank after dot in brackets", "<j@x. y>", "", "j@x.y"},
        {"comment after bare address", "a@x (comment)", "", "a@x"},
        {"comment before bare address", "(comment) a@x", "", "a@x"},
        {"comment between name and address", "Name (c) <a@x>", "Name", "a@x"},
        {"nested comment", "Name ((a) b) <a@x>", "Name", "a@x"},
        {"words before bare address keep their blank", "John Doe j@x", "John Doe ", "j@x"},
        {"at sign after the bracketed address", "<a@x> trailing@y", "trailing@y", "a@x"},
        {"quoted local part", "<\"j d\"@x>", "", "j d@x"},
        {"escape in quoted name", "\"a\\\"b\" <j@x>", "a\"b", "j@x"},
        {"quote glued to a word keeps the word", "Jo\"hn\" <j@x>", "John", "j@x"},
        {"dotted bare address", "j@x.y.z", "", "j@x.y.z"},
        {"no special character", "  plain  ", "", "plain"},
        {"empty", "   ", "", ""},
        {"blank after the bracket is kept, before it trimmed", "< j@x >", "", " j@x"},
        {"trailing backslash in quotes", "\"ab\\", "ab", ""},
    };
    for (const auto& r : rows) {
        TIdEMailAddressItem item;
        item.Name = "old";
        item.Address = "old@x";
        item.SetText(r.text);
        EXPECT_EQ(item.Name, r.expectedName) << r.name;
        EXPECT_EQ(item.Address, r.expectedAddress) << r.name;
    }
}

TEST(EmailAddress, Text) {
    struct Row {
        const char* name;
        std::string itemName, address, expected;
    } rows[] = {
        {"address only", "", "a@x", "a@x"},
        {"name equal to address ignoring case", "A@X", "a@x", "a@x"},
        {"plain name", "John Doe", "j@x", "John Doe <j@x>"},
        {"name with comma quoted", "Doe, John", "jd@x", "\"Doe, John\" <jd@x>"},
        {"quote and backslash escaped", "Say \"hi\"\\", "a@x", "\"Say \\\"hi\\\"\\\\\" <a@x>"},
        {"non-ascii name quoted", "J\xFCrgen", "j@x", "\"J\xFCrgen\" <j@x>"},
        {"name without address", "Bob", "", "Bob <>"},
        {"nothing", "", "", ""},
        {"dotted local part", "", "first.last@x", "first.last@x"},
        {"blank in local part", "", "j d@x", "<\"j d\"@x>"},
        {"only the first non-atom decides", "", "a.b c@x", "a.b c@x"},
        {"quote in local part escaped", "N", "a\"b@x", "N <\"a\\\"b\"@x>"},
        {"split at the last at sign", "", "a@b@c", "<\"a@b\"@c>"},
        {"no at sign", "N", "local", "N <local>"},
        {"no at sign needing quotes", "N", "x y", "N <\"x y\">"},
    };
    for (const auto& r : rows) {
        TIdEMailAddressItem item;
        item.Name = r.itemName;
        item.Address = r.address;
        EXPECT_EQ(item.Text(), r.expected) << r.name;
    }
}

TEST(EmailAddress, TextRoundTrips) {
    const Pairs items = {{"Doe, John", "jd@x"}, {"Say \"hi\"", "a@x"}, {"", "j d@x"}, {"A B", "a@x.y"}};
    for (const auto& [name, address] : items) {
        TIdEMailAddressItem a;
        a.Name = name;
        a.Address = address;
        TIdEMailAddressItem b;
        b.SetText(a.Text());
        EXPECT_EQ(b.Name, name) << a.Text();
        EXPECT_EQ(b.Address, address) << a.Text();
    }
}

TEST(EmailAddress, DomainAndUser) {
    TIdEMailAddressItem item;
    item.Address = "a@b@c";
    EXPECT_EQ(item.Domain(), "c");
    EXPECT_EQ(item.User(), "a@b");
    item.SetDomain("z");
    EXPECT_EQ(item.Address, "a@z");
    item.Address = "a@b@c";
    item.SetUser("u");
    EXPECT_EQ(item.Address, "u@b@c");

    item.Address = "plain";
    EXPECT_EQ(item.Domain(), "");
    EXPECT_EQ(item.User(), "");
    item.SetDomain("d");
    EXPECT_EQ(item.Address, "plain@d");
    item.Address = "plain";
    item.SetUser("u");
    EXPECT_EQ(item.Address, "u@plain");
}

TEST(EmailAddress, ListAssignCopiesItems) {
    TIdEMailAddressList a;
    a.ParseAddressList("A <a@x>, b@y");
    TIdEMailAddressList b;
    b.Add().Address = "old@x";
    b.Assign(a);
    ASSERT_EQ(b.Count(), 2);
    a.Items(0).Name = "changed";
    EXPECT_EQ(b.Items(0).Name, "A");
    EXPECT_EQ(b.Items(1).Address, "b@y");
    b.Delete(0);
    b.Delete(5);  // out of range: nothing
    EXPECT_EQ(b.Count(), 1);
}

// A field of about a megabyte must not take quadratic time.
TEST(EmailAddress, LongFieldsStayLinear) {
    std::string many;
    for (int i = 0; i < 60000; ++i) many += "n" + std::to_string(i) + "@example.org, ";
    TIdEMailAddressList list;
    list.ParseAddressList(many);
    ASSERT_EQ(list.Count(), 60000);
    EXPECT_EQ(list.Items(59999).Address, "n59999@example.org");

    std::string separators;
    for (int i = 0; i < 300000; ++i) separators += "; ";
    list.ParseAddressList(separators);
    EXPECT_EQ(list.Count(), 0);

    std::string oneItem;
    for (int i = 0; i < 200000; ++i) oneItem += "x <>";
    list.ParseAddressList(oneItem);
    EXPECT_EQ(list.Count(), 1);

    list.ParseAddressList("\"" + std::string(1000000, 'q') + "\" <a@x>");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Name.size(), 1000000u);
}

}  // namespace
