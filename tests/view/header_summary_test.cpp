#include "view/header_summary.h"

#include <gtest/gtest.h>

#include <functional>

#include "reader/message/message.h"

namespace {

void AddAddress(TIdEMailAddressList& list, const std::string& name, const std::string& address) {
    TIdEMailAddressItem& item = list.Add();
    item.Name = name;
    item.Address = address;
}

TEST(HeaderSummary, RowsFollowTheMessage) {
    struct Row {
        const char* name;
        std::function<void(TIdMessage&)> fill;
        std::vector<std::string> labels, values;
    } rows[] = {
        {"no sender, no recipients, no date",
         [](TIdMessage&) {},
         {"Von:", " ", "An:", " ", "Gesendet:"},
         {"", " ", "", " ", "30.12.1899 00:00:00"}},
        {"sender with name",
         [](TIdMessage& m) { AddAddress(m.FromList, "Anna", "anna@example.org"); },
         {"Von:", " ", " ", "An:", " ", "Gesendet:"},
         {"anna@example.org", "Anna", " ", "", " ", "30.12.1899 00:00:00"}},
        {"four recipients, one repeated in capitals",
         [](TIdMessage& m) {
             AddAddress(m.Recipients, "Anna", "a@x.de");
             AddAddress(m.Recipients, "", "b@x.de");
             AddAddress(m.Recipients, "Carl", "c@x.de");
             AddAddress(m.Recipients, "Anna again", "A@X.DE");
         },
         {"Von:", " ", "An:", " ", " ", "Gesendet:"},
         {"", " ", "a@x.de, b@x.de, c@x.de", "Anna, Carl", " ", "30.12.1899 00:00:00"}},
        {"nameless recipients give no name line",
         [](TIdMessage& m) {
             AddAddress(m.Recipients, "", "b@x.de");
             AddAddress(m.Recipients, "", "c@x.de");
         },
         {"Von:", " ", "An:", " ", "Gesendet:"},
         {"", " ", "b@x.de, c@x.de", " ", "30.12.1899 00:00:00"}},
        {"reply-to deduplicated; copies not shown",
         [](TIdMessage& m) {
             AddAddress(m.ReplyTo, "", "r@x.de");
             AddAddress(m.ReplyTo, "", "R@x.DE");
             AddAddress(m.ReplyTo, "", "s@x.de");
             AddAddress(m.CCList, "", "cc@x.de");
             AddAddress(m.BccList, "", "bcc@x.de");
         },
         {"Von:", " ", "An:", " ", "Gesendet:", "Antwort an:"},
         {"", " ", "", " ", "30.12.1899 00:00:00", "r@x.de, s@x.de"}},
        {"umlaut addresses compare in the locale's case",
         [](TIdMessage& m) {
             AddAddress(m.Recipients, "", "\xE4@x.de");
             AddAddress(m.Recipients, "", "\xC4@x.de");
         },
         {"Von:", " ", "An:", " ", "Gesendet:"},
         {"", " ", "\xE4@x.de", " ", "30.12.1899 00:00:00"}},
        {"line break in a decoded name keeps the columns paired",
         [](TIdMessage& m) { AddAddress(m.FromList, "Bob\r\nAn:", "bob@x.de"); },
         {"Von:", " ", " ", "An:", " ", "Gesendet:"},
         {"bob@x.de", "Bob  An:", " ", "", " ", "30.12.1899 00:00:00"}},
    };
    for (const Row& row : rows) {
        TIdMessage mail;
        row.fill(mail);
        TStringList seen;
        const view::HeaderSummary s = view::BuildHeaderSummary(mail, seen);
        EXPECT_EQ(s.labels, row.labels) << row.name;
        EXPECT_EQ(s.values, row.values) << row.name;
    }
}

TEST(HeaderSummary, DatePattern) {
    struct Row {
        const char* name;
        int y, mo, d, h, mi, s;
        std::string expected;
    } rows[] = {
        {"evening", 2026, 12, 6, 18, 59, 18, "06.12.2026 18:59:18"},
        {"single digits padded", 2001, 2, 3, 4, 5, 6, "03.02.2001 04:05:06"},
        {"midnight", 2000, 1, 1, 0, 0, 0, "01.01.2000 00:00:00"},
        {"last second", 1999, 12, 31, 23, 59, 59, "31.12.1999 23:59:59"},
    };
    for (const Row& row : rows) {
        platform::TDateTime date = 0, time = 0;
        ASSERT_TRUE(platform::TryEncodeDate(row.y, row.mo, row.d, date));
        ASSERT_TRUE(platform::TryEncodeTime(row.h, row.mi, row.s, 0, time));
        EXPECT_EQ(view::FormatMailDate(date + time), row.expected) << row.name;
    }
    EXPECT_EQ(view::FormatMailDate(0), "30.12.1899 00:00:00");
}

}  // namespace
