#include "platform/clock.h"

#include <gtest/gtest.h>

#include "support/scoped_time_zone.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace {

using ScopedTz = test_support::ScopedTimeZone;

platform::TDateTime At(int y, int mo, int d, int h, int mi, int s) {
    platform::TDateTime date = 0, time = 0;
    EXPECT_TRUE(platform::TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(platform::TryEncodeTime(h, mi, s, 0, time));
    return date + time;
}

constexpr double kHour = 1.0 / 24;

TEST(Clock, EncodeAndDecodeKeepTheClassicDayCount) {
    struct Row {
        const char* name;
        int y, mo, d;
        double days;
    } rows[] = {
        {"day zero", 1899, 12, 30, 0},
        {"day one", 1899, 12, 31, 1},
        {"before day zero", 1899, 12, 29, -1},
        {"unix epoch", 1970, 1, 1, 25569},
        {"leap day", 2000, 2, 29, 36585},
        {"first day", 1, 1, 1, -693593},
        {"last day", 9999, 12, 31, 2958465},
    };
    for (const auto& r : rows) {
        platform::TDateTime v = 12345;
        ASSERT_TRUE(platform::TryEncodeDate(r.y, r.mo, r.d, v)) << r.name;
        EXPECT_EQ(v, r.days) << r.name;
        const auto p = platform::DecodeDateTime(v);
        EXPECT_EQ(p.year, r.y) << r.name;
        EXPECT_EQ(p.month, r.mo) << r.name;
        EXPECT_EQ(p.day, r.d) << r.name;
    }
}

TEST(Clock, InvalidDatesAndTimesAreRefused) {
    platform::TDateTime v;
    EXPECT_FALSE(platform::TryEncodeDate(1900, 2, 29, v));  // not a leap year
    EXPECT_FALSE(platform::TryEncodeDate(2006, 0, 1, v));
    EXPECT_FALSE(platform::TryEncodeDate(2006, 4, 31, v));
    EXPECT_FALSE(platform::TryEncodeDate(0, 1, 1, v));
    EXPECT_FALSE(platform::TryEncodeDate(10000, 1, 1, v));
    EXPECT_FALSE(platform::TryEncodeTime(24, 0, 0, 0, v));
    EXPECT_FALSE(platform::TryEncodeTime(0, 60, 0, 0, v));
    EXPECT_FALSE(platform::TryEncodeTime(0, 0, 60, 0, v));
    EXPECT_FALSE(platform::TryEncodeTime(-1, 0, 0, 0, v));
    EXPECT_TRUE(platform::TryEncodeTime(23, 59, 59, 999, v));
}

TEST(Clock, NegativeValuesCarryTheTimeAsAbsoluteFraction) {
    // -0.25 is 1899-12-30 06:00 and -1.75 is 1899-12-29 18:00.
    EXPECT_EQ(platform::FormatIsoDateTime(-0.25), "1899-12-30 06:00:00");
    EXPECT_EQ(platform::FormatIsoDateTime(-1.75), "1899-12-29 18:00:00");
    EXPECT_EQ(platform::FormatIsoDateTime(At(2006, 1, 2, 15, 4, 5)), "2006-01-02 15:04:05");
}

TEST(Clock, DecodeSurvivesValuesOutsideTheCalendar) {
    struct Row {
        const char* name;
        double value;
        const char* iso;
    } rows[] = {
        {"nan", std::numeric_limits<double>::quiet_NaN(), "1899-12-30 00:00:00"},
        {"plus infinity", std::numeric_limits<double>::infinity(), "9999-12-31 23:59:59"},
        {"minus infinity", -std::numeric_limits<double>::infinity(), "0001-01-01 23:59:59"},
        {"huge", 1e300, "9999-12-31 23:59:59"},
        {"hugely negative", -1e300, "0001-01-01 23:59:59"},
    };
    for (const auto& r : rows) EXPECT_EQ(platform::FormatIsoDateTime(r.value), r.iso) << r.name;
}

TEST(Clock, OffsetFollowsTheRulesInForceAtTheInstant) {
    struct Row {
        const char* name;
        const char* tz;
        platform::TDateTime utc;
        double hours;
    } rows[] = {
        {"utc", "UTC", At(2008, 6, 3, 8, 0, 0), 0},
        {"fixed plus one", "Etc/GMT-1", At(2008, 6, 3, 8, 0, 0), 1},
        {"berlin winter", "Europe/Berlin", At(2008, 1, 15, 12, 0, 0), 1},
        {"berlin summer", "Europe/Berlin", At(2008, 7, 15, 12, 0, 0), 2},
        // Summer time starts at 01:00:00 UTC sharp; a day count near that
        // instant is not exact, which must not move it a second earlier.
        {"berlin second before spring change", "Europe/Berlin", At(2008, 3, 30, 0, 59, 59), 1},
        {"berlin at spring change", "Europe/Berlin", At(2008, 3, 30, 1, 0, 0), 2},
        {"berlin second before autumn change", "Europe/Berlin", At(2008, 10, 26, 0, 59, 59), 2},
        {"berlin at autumn change", "Europe/Berlin", At(2008, 10, 26, 1, 0, 0), 1},
        {"new york summer", "America/New_York", At(2008, 7, 15, 12, 0, 0), -4},
        {"new york winter", "America/New_York", At(2008, 1, 15, 12, 0, 0), -5},
    };
    for (const auto& r : rows) {
        ScopedTz tz(r.tz);
        const auto offset = platform::LocalUtcOffsetAt(r.utc);
        ASSERT_TRUE(offset.has_value()) << r.name;
        EXPECT_NEAR(*offset, r.hours * kHour, 1e-9) << r.name;
    }
}

TEST(Clock, OffsetOutsideTheCoveredRangeStillAnswers) {
    ScopedTz tz("Etc/GMT-1");
    for (double v : {-1e12, 1e12, std::numeric_limits<double>::quiet_NaN()}) {
        const auto offset = platform::LocalUtcOffsetAt(v);
        ASSERT_TRUE(offset.has_value()) << v;
        EXPECT_NEAR(*offset, kHour, 1e-9) << v;
    }
}

TEST(Clock, NowIsLocalTimeOfTheCurrentZone) {
    // The same instant read in two zones differs by their offsets.
    double utcNow, plusOneNow;
    {
        ScopedTz tz("UTC");
        utcNow = platform::Now();
    }
    {
        ScopedTz tz("Etc/GMT-1");
        plusOneNow = platform::Now();
    }
    EXPECT_NEAR(plusOneNow - utcNow, kHour, 60.0 / 86400);
    {
        ScopedTz tz("Etc/GMT-1");
        const auto offset = platform::LocalUtcOffsetNow();
        ASSERT_TRUE(offset.has_value());
        EXPECT_NEAR(*offset, kHour, 1e-9);
    }
}

TEST(Clock, TickCountCanBePinned) {
    platform::SetTickCountSource([] { return 4242u; });
    EXPECT_EQ(platform::TickCount(), 4242u);
    platform::SetTickCountSource({});
    const auto a = platform::TickCount();
    const auto b = platform::TickCount();
    EXPECT_LE(static_cast<std::uint32_t>(b - a), 1000u);
}

}  // namespace
