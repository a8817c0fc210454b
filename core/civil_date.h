#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace kalvera {

using CivilDate = std::chrono::year_month_day;

// The calendar date of `instant` in the local time zone (TZ, or the system's setting): in
// Indonesia the new day begins at 17:00 UTC, not at midnight UTC.
CivilDate LocalDateAt(std::chrono::system_clock::time_point instant);

// Today's date on the local calendar.
CivilDate LocalToday();

// Reads year-month-day joined by '-': a four-digit year, month and day of one or two digits
// (2026-3-7 is 7 March 2026). Anything else, blanks around it included, and impossible days
// such as 2025-02-30 give no date.
std::optional<CivilDate> ParseCallbookDate(std::string_view text);

}  // namespace kalvera
