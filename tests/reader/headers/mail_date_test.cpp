#include "reader/headers/mail_date.h"

#include <gtest/gtest.h>

#include "support/scoped_time_zone.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

using ScopedTz = test_support::ScopedTimeZone;

platform::TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    platform::TDateTime date = 0, time = 0;
    EXPECT_TRUE(platform::TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(platform::TryEncodeTime(h, mi, s, 0, time));
    return date + time;
}

constexpr double kHour = 1.0 / 24;
constexpr double kMs = 1.0 / 86400000;

struct DateRow {
    const char* name;
    const char* text;
    platform::TDateTime local;
};

void ExpectRows(const char* tz, std::initializer_list<DateRow> rows) {
    ScopedTz pin(tz);
    for (const auto& r : rows) {
        const platform::TDateTime got = MailDateToLocal(r.text);
        EXPECT_NEAR(got, r.local, kMs) << tz << ": " << r.name << " -> " << platform::FormatIsoDateTime(got);
    }
}

TEST(MailDateToLocal, AtUtc) {
    ExpectRows("UTC", {
        {"east zone", "Mon, 02 Jan 2006 15:04:05 +0100", At(2006, 1, 2, 14, 4, 5)},
        {"west zone", "Mon, 02 Jan 2006 15:04:05 -0500", At(2006, 1, 2, 20, 4, 5)},
        {"half-hour zone", "Mon, 02 Jan 2006 15:04:05 +0530", At(2006, 1, 2, 9, 34, 5)},
        {"zone with comment", "Mon, 02 Jan 2006 15:04:05 +0100 (CET)", At(2006, 1, 2, 14, 4, 5)},
        {"no blank after comma, GMT", "Mon,2 Jan 2006 15:04:05 GMT", At(2006, 1, 2, 15, 4, 5)},
        {"named zone counts as 0", "Mon, 02 Jan 2006 15:04:05 EST", At(2006, 1, 2, 15, 4, 5)},
        {"colon zone counts as 0", "2 Jan 2006 15:04:05 +01:00", At(2006, 1, 2, 15, 4, 5)},
        {"long day name", "Monday, 2 Jan 2006 15:04:05 +0000", At(2006, 1, 2, 15, 4, 5)},
        {"upper-case month", "2 JAN 2006 15:04:05 +0000", At(2006, 1, 2, 15, 4, 5)},
        {"two-digit year 06", "2 Jan 06 15:04", At(2006, 1, 2, 15, 4, 0)},
        {"two-digit year 79", "2 Jan 79 15:04", At(2079, 1, 2, 15, 4, 0)},
        {"two-digit year 80", "2 Jan 80 15:04", At(1980, 1, 2, 15, 4, 0)},
        {"two-digit year 99", "2 Jan 99 15:04", At(1999, 1, 2, 15, 4, 0)},
        {"three-digit year stays", "2 Jan 100 15:04", At(100, 1, 2, 15, 4, 0)},
        {"minutes before zone", "2 Jan 2006 15:04 +0100", At(2006, 1, 2, 14, 4, 0)},
        {"dashes", "02-Jan-2006 15:04:05 +0000", At(2006, 1, 2, 15, 4, 5)},
        {"month first, time before year", "Jan 2 15:04:05 2006", At(2006, 1, 2, 15, 4, 5)},
        {"month first with day name", "Mon Jan  2 15:04:05 2006", At(2006, 1, 2, 15, 4, 5)},
        {"PM cuts the zone", "2 Jan 2006 3:04:05 PM +0100", At(2006, 1, 2, 15, 4, 5)},
        {"12 PM is noon", "2 Jan 2006 12:04:05 PM", At(2006, 1, 2, 12, 4, 5)},
        {"12 AM is midnight", "2 Jan 2006 12:04:05 AM +0100", At(2006, 1, 2, 0, 4, 5)},
        {"no time", "2 Jan 2006", At(2006, 1, 2)},
        {"received style with blanks", " Tue, 3 Jun 2008 10:00:00 +0200 ", At(2008, 6, 3, 8, 0, 0)},
        {"doubled blank before the time", "2 Jan 2006  15:04:05 +0100", At(2006, 1, 2, 14, 4, 5)},
        {"full month name does not read", "2 January 2006 15:04:05 +0000", 0},
        {"impossible day", "31 Feb 2006 10:00:00", 0},
        {"hour 24", "2 Jan 2006 24:00:00", 0},
        {"bad time keeps the zone", "2 Jan 2006 25:00:00 +0100", -kHour},
        {"garbage", "hello", 0},
        {"blanks only", "   ", 0},
        {"empty", "", 0},
    });
}

TEST(MailDateToLocal, AtFixedPlusOne) {
    ExpectRows("Etc/GMT-1", {
        {"same zone", "Mon, 02 Jan 2006 15:04:05 +0100", At(2006, 1, 2, 15, 4, 5)},
        {"summer date, no daylight saving", "Tue, 3 Jun 2008 10:00:00 +0200", At(2008, 6, 3, 9, 0, 0)},
        {"unreadable adds the local offset", "2 January 2006 15:04:05 +0000", kHour},
        {"empty stays 0", "", 0},
    });
}

// Summer dates get summer time and winter dates winter time, whatever the
// season is while the test runs.
TEST(MailDateToLocal, AtBerlinWithDaylightSaving) {
    ExpectRows("Europe/Berlin", {
        {"summer", "Tue, 3 Jun 2008 10:00:00 +0200", At(2008, 6, 3, 10, 0, 0)},
        {"summer from GMT", "Tue, 3 Jun 2008 08:00:00 GMT", At(2008, 6, 3, 10, 0, 0)},
        {"winter", "Mon, 02 Jan 2006 15:04:05 +0100", At(2006, 1, 2, 15, 4, 5)},
        {"winter from GMT", "Mon, 02 Jan 2006 14:04:05 GMT", At(2006, 1, 2, 15, 4, 5)},
        {"received style", " Tue, 3 Jun 2008 10:00:00 +0200 ", At(2008, 6, 3, 10, 0, 0)},
        {"last winter second", "Sun, 30 Mar 2008 00:59:59 +0000", At(2008, 3, 30, 1, 59, 59)},
        {"first summer second", "Sun, 30 Mar 2008 01:00:00 +0000", At(2008, 3, 30, 3, 0, 0)},
        {"unreadable adds the offset of 1899", "hello", kHour},
    });
}

TEST(MailDateToLocal, AtNewYork) {
    ExpectRows("America/New_York", {
        {"summer", "Tue, 3 Jun 2008 10:00:00 +0200", At(2008, 6, 3, 4, 0, 0)},
        {"winter", "Mon, 02 Jan 2006 15:04:05 +0100", At(2006, 1, 2, 9, 4, 5)},
        {"unreadable", "hello", -5 * kHour},
    });
}

TEST(ParseMailDate, LeavesTheZonePart) {
    struct Row {
        const char* name;
        const char* text;
        platform::TDateTime written;
        const char* rest;
    } rows[] = {
        {"zone and comment", "Mon, 02 Jan 2006 15:04:05 +0100 (CET)", At(2006, 1, 2, 15, 4, 5), "+0100 (CET)"},
        {"named zone", "2 Jan 2006 15:04:05   GMT", At(2006, 1, 2, 15, 4, 5), "GMT"},
        {"cut at PM", "2 Jan 2006 3:04:05 PM +0100", At(2006, 1, 2, 15, 4, 5), ""},
        {"cut at AM inside the zone name", "2 Jan 2006 10:00:00 CAMT", At(2006, 1, 2, 10, 0, 0), "C"},
        {"time before year", "Jan 2 15:04:05 2006", At(2006, 1, 2, 15, 4, 5), ""},
        {"error keeps the text reached", "2 January 2006 15:04:05 +0000", 0, "15:04:05 +0000"},
        {"only blanks", "  ", 0, ""},
    };
    for (const auto& r : rows) {
        std::string text = r.text;
        EXPECT_NEAR(ParseMailDate(text), r.written, kMs) << r.name;
        EXPECT_EQ(text, r.rest) << r.name;
    }
}

TEST(OffsetTextToDays, Forms) {
    struct Row {
        const char* name;
        const char* text;
        double days;
    } rows[] = {
        {"plus one", "+0100", kHour},
        {"minus five thirty", "-0530", -5.5 * kHour},
        {"with comment and blanks", "  +0200 (CEST)", 2 * kHour},
        {"minus zero", "-0000", 0},
        {"colon form", "+01:00", 0},
        {"name", "GMT", 0},
        {"empty", "", 0},
        {"hour 24", "+2400", 0},
        {"minute 60", "+0160", 0},
        {"too short", "+1", 0},
        {"letters", "+ab00", 0},
    };
    for (const auto& r : rows) EXPECT_NEAR(OffsetTextToDays(r.text), r.days, 1e-12) << r.name;
}

TEST(DateNames, WholeThreeLetterNamesOnly) {
    EXPECT_EQ(WeekdayFromName("Sun"), 1);
    EXPECT_EQ(WeekdayFromName("sat"), 7);
    EXPECT_EQ(WeekdayFromName("Sunday"), 0);
    EXPECT_EQ(WeekdayFromName("Su"), 0);
    EXPECT_EQ(MonthFromName("jan"), 1);
    EXPECT_EQ(MonthFromName("DEC"), 12);
    EXPECT_EQ(MonthFromName("January"), 0);
    EXPECT_EQ(MonthFromName(""), 0);
}

TEST(LocalUtcOffset, WholeMinutesOfTheRulesAtThatInstant) {
    {
        ScopedTz tz("Europe/Berlin");
        EXPECT_NEAR(LocalUtcOffset(At(2008, 7, 1, 12)), 2 * kHour, 1e-12);
        EXPECT_NEAR(LocalUtcOffset(At(2008, 1, 1, 12)), kHour, 1e-12);
    }
    {
        // Madras time of 1899 is 5:21:10 ahead; offsets count in minutes.
        ScopedTz tz("Asia/Kolkata");
        EXPECT_NEAR(LocalUtcOffset(0), 321.0 / 1440, 1e-12);
    }
}

}  // namespace
