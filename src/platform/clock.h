#pragma once
// Time as the reader sees it. Date-time values are day counts since
// 30 December 1899, the fraction being the time of day.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

using TDateTime = double;

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t TickCount();
// Tests pin the tick count; an empty function restores the real clock.
void SetTickCountSource(std::function<std::uint32_t()> source);

// The current local date-time.
TDateTime Now();

// Offset of local time from UTC in days (east of UTC positive), as the time
// zone rules put it at the given instant, given as a UTC date-time; nothing
// when the platform cannot tell.
std::optional<double> LocalUtcOffsetAt(TDateTime utc);
// The same for this moment.
std::optional<double> LocalUtcOffsetNow();

// Calendar arithmetic with the classic semantics: the integral part is the
// day (negative before 1899-12-30), the absolute fraction the time of day.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
struct DateTimeParts {
    int year, month, day, hour, minute, second, msec;
};
DateTimeParts DecodeDateTime(TDateTime value);
// "YYYY-MM-DD HH:MM:SS"
std::string FormatIsoDateTime(TDateTime value);

}  // namespace platform
