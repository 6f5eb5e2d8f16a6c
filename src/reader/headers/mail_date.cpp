#include "reader/headers/mail_date.h"

#include <array>
#include <cmath>

#include "platform/codepage.h"
#include "reader/exceptions.h"
#include "reader/headers/header_text.h"

namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr std::array<std::string_view, 12> kMonthNames = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

template <std::size_t N>
int IndexOfName(const std::array<std::string_view, N>& names, std::string_view text) {
    for (std::size_t i = 0; i < N; ++i)
        if (platform::SameTextLocale(text, names[i])) return static_cast<int>(i) + 1;
    return 0;
}

// substr that never throws: out-of-range parts are empty.
std::string_view Mid(std::string_view s, std::size_t pos, std::size_t count) {
    return pos >= s.size() ? std::string_view() : s.substr(pos, count);
}

}  // namespace

int WeekdayFromName(std::string_view text) { return IndexOfName(kDayNames, text); }

// Only the three-letter forms: "January" is not a month.
int MonthFromName(std::string_view text) { return IndexOfName(kMonthNames, text); }

double OffsetTextToDays(std::string_view text) {
    const std::string trimmed = Trim(text);
    const std::string_view t = Mid(trimmed, 0, 5);
    if (t.empty() || (t[0] != '+' && t[0] != '-')) return 0;
    // -1 is never a valid part of a time of day, so it doubles as "no number".
    const int hours = StrToIntDef(Mid(t, 1, 2), -1);
    const int minutes = StrToIntDef(Mid(t, 3, 2), -1);
    platform::TDateTime unused;
    if (!platform::TryEncodeTime(hours, minutes, 0, 0, unused)) return 0;  // "+01:00" lands here
    const double days = hours / 24.0 + minutes / 1440.0;
    return t[0] == '-' ? -days : days;
}

double LocalUtcOffset(platform::TDateTime utc) {
    const std::optional<double> offset = platform::LocalUtcOffsetAt(utc);
    if (!offset) throw EIdFailedToRetreiveTimeZoneInfo("Failed attempting to retrieve time zone information.");
    // Zone offsets count in whole minutes; old local mean times do not.
    return std::round(*offset * 1440.0) / 1440.0;
}

platform::TDateTime ParseMailDate(std::string& text) {
    text = Trim(text);
    if (text.empty()) return 0;

    if (WeekdayFromName(std::string_view(text).substr(0, 3)) != 0) {
        // "Mon,2 Jan ..." is common enough: give the day name its blank.
        if (text.size() >= 4 && text[3] == ',' && (text.size() < 5 || text[4] != ' ')) text.insert(4, 1, ' ');
        SplitOff(text, " ");
        text = TrimLeft(text);
    }

    // "02-Jan-2006 ..." uses dashes when the first dash comes before the first blank.
    const std::size_t dash = text.find('-');
    const std::size_t blank = text.find(' ');
    const std::string separator = (dash != std::string::npos && dash > 0 && blank != std::string::npos && dash < blank)
                                      ? "-"
                                      : " ";
    const auto readField = [&text, &separator] {
        std::string field = SplitOff(text, separator);
        text = TrimLeft(text);
        return field;
    };

    int day, month;
    if (MonthFromName(std::string_view(text).substr(0, text.find(separator))) != 0) {  // "Jan 2 ..."
        month = MonthFromName(readField());
        day = StrToIntDef(readField(), 1);
    } else {
        day = StrToIntDef(readField(), 1);
        month = MonthFromName(readField());
    }

    // Time before the year, as in "Jan 2 15:04:05 2006": the token was the time.
    std::string yearToken = SplitOff(text, " ");
    int year = StrToIntDef(yearToken, 1900);
    if (year == 1900) {
        year = StrToIntDef(text, 1900);
        text = std::move(yearToken);
    }
    // Two-digit years: 00-79 are 20xx, 80-99 are 19xx.
    if (year < 80)
        year += 2000;
    else if (year < 100)
        year += 1900;

    platform::TDateTime result;
    if (!platform::TryEncodeDate(year, month, day, result)) return 0;

    // Everything from the marker on goes, the zone included.
    bool am = false, pm = false;
    if (const std::size_t p = text.find("AM"); p != std::string::npos) {
        am = true;
        text.erase(p);
    }
    if (const std::size_t p = text.find("PM"); p != std::string::npos) {
        pm = true;
        text.erase(p);
    }

    if (text.find(':') != std::string::npos) {
        // A doubled blank before the time must not cost the time.
        text = TrimLeft(text);
        std::string timeToken = SplitOff(text, " ");
        int hours = StrToIntDef(SplitOff(timeToken, ":"), 0);
        const int minutes = StrToIntDef(SplitOff(timeToken, ":"), 0);
        const int seconds = StrToIntDef(timeToken, 0);
        text = TrimLeft(text);
        if (am && hours == 12) hours = 0;
        if (pm && hours < 12) hours += 12;
        platform::TDateTime time;
        if (!platform::TryEncodeTime(hours, minutes, seconds, 0, time)) return 0;
        result += time;
    }
    text = TrimLeft(text);
    return result;
}

platform::TDateTime MailDateToLocal(std::string_view text) {
    if (text.empty()) return 0;
    std::string rest(text);
    const platform::TDateTime written = ParseMailDate(rest);
    // A bare zone name of up to four letters ("GMT", "MEZ") counts as UTC.
    const double zone = rest.size() > 4 ? OffsetTextToDays(rest) : 0;
    const platform::TDateTime utc = written - zone;
    // The offset in force at that instant, so summer dates get summer time.
    return utc + LocalUtcOffset(utc);
}
