#pragma once
// Date header texts into local date-times.

#include <string>
#include <string_view>

#include "platform/clock.h"

platform::TDateTime MailDateToLocal(std::string_view text);
// Leaves text holding what follows the time (the zone part).
platform::TDateTime ParseMailDate(std::string& text);
int WeekdayFromName(std::string_view text);
int MonthFromName(std::string_view text);
double OffsetTextToDays(std::string_view text);
// Local offset from UTC in days, in force at the given UTC date-time; raises
// EIdFailedToRetreiveTimeZoneInfo when the platform cannot tell.
double LocalUtcOffset(platform::TDateTime utc);
