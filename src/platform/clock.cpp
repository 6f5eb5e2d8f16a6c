#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace platform {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 as a day count

std::function<std::uint32_t()>& TickSource() {
    static std::function<std::uint32_t()> source;
    return source;
}

bool IsLeapYear(int y) { return (y % 4 == 0) && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && IsLeapYear(y)) ? 29 : kDays[m - 1];
}

// Days from 0001-01-01 (day 1) to the given date.
std::int64_t DayNumber(int y, int m, int d) {
    std::int64_t days = d;
    for (int i = 1; i < m; ++i) days += DaysInMonth(y, i);
    const std::int64_t py = y - 1;
    return days + py * 365 + py / 4 - py / 100 + py / 400;
}

constexpr std::int64_t kDateDelta = 693594;  // day number of 1899-12-30

}  // namespace

std::uint32_t TickCount() {
    if (auto& src = TickSource(); src) return src();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void SetTickCountSource(std::function<std::uint32_t()> source) { TickSource() = std::move(source); }

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    tzset();  // localtime_r need not notice a changed TZ on its own
    if (!localtime_r(&ts.tv_sec, &local)) return 0;
    TDateTime date = 0, time = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
    // A leap second (tm_sec 60) would otherwise fail and give midnight.
    TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), static_cast<int>(ts.tv_nsec / 1000000),
                  time);
    return date + time;
}

std::optional<double> LocalUtcOffsetAt(TDateTime utc) {
    // Whole milliseconds first: a day count cannot hold most instants exactly,
    // and flooring its product would put 01:00:00 UTC at 00:59:59 -- on the
    // wrong side of a daylight-saving change.
    const double ms = std::round((utc - kUnixEpochDays) * 86400000.0);
    const double seconds = std::floor(ms / 1000.0);
    // Outside what time_t and the zone rules cover, the nearest covered
    // instant's offset is the best answer.
    const double clamped = std::fmax(std::fmin(seconds, 253402300799.0), -62135596800.0);
    const time_t t = static_cast<time_t>(clamped);
    tm local{};
    tzset();
    if (!localtime_r(&t, &local)) return std::nullopt;
    return static_cast<double>(local.tm_gmtoff) / 86400.0;
}

std::optional<double> LocalUtcOffsetNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalUtcOffsetAt(kUnixEpochDays + static_cast<double>(ts.tv_sec) / 86400.0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    out = static_cast<double>(DayNumber(year, month, day) - kDateDelta);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    out = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / kMsPerDay;
    return true;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    DateTimeParts p{};
    // Keep to 0001-01-01 .. 9999-12-31 23:59:59.999 so that the millisecond
    // count below cannot overflow; NaN reads as 1899-12-30.
    if (std::isnan(value)) value = 0;
    value = std::fmax(std::fmin(value, 2958465.99999999), -693593.99999999);
    const auto ms = static_cast<std::int64_t>(std::llround(value * kMsPerDay));
    std::int64_t dayNumber = ms / kMsPerDay + kDateDelta;  // truncates toward zero
    std::int64_t timeMs = (ms < 0 ? -ms : ms) % kMsPerDay;
    if (dayNumber < 1) dayNumber = 1;
    // Walk years, then months, from 0001-01-01.
    std::int64_t d = dayNumber - 1;
    const std::int64_t n400 = d / 146097;
    d %= 146097;
    std::int64_t n100 = d / 36524;
    if (n100 == 4) n100 = 3;
    d -= n100 * 36524;
    const std::int64_t n4 = d / 1461;
    d %= 1461;
    std::int64_t n1 = d / 365;
    if (n1 == 4) n1 = 3;
    d -= n1 * 365;
    p.year = static_cast<int>(n400 * 400 + n100 * 100 + n4 * 4 + n1 + 1);
    p.month = 1;
    while (d >= DaysInMonth(p.year, p.month)) {
        d -= DaysInMonth(p.year, p.month);
        ++p.month;
    }
    p.day = static_cast<int>(d) + 1;
    p.hour = static_cast<int>(timeMs / 3600000);
    p.minute = static_cast<int>(timeMs / 60000 % 60);
    p.second = static_cast<int>(timeMs / 1000 % 60);
    p.msec = static_cast<int>(timeMs % 1000);
    return p;
}

std::string FormatIsoDateTime(TDateTime value) {
    const DateTimeParts p = DecodeDateTime(value);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buf;
}

}  // namespace platform
