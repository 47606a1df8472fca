// Dates and times written by a picture, as the system's date and time formatting does: for dates
// d dd ddd dddd, M MM MMM MMMM, y yy yyyy; for times h hh H HH, m mm, s ss, t tt; text in single
// quotes is literal ('' gives a quote) and so is every other character. Results are in the set of
// the names (code page 1252 for the framework's locale).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/text/date_locale.h"
#include "framework/text/date_time.h"

namespace lumra::text {

inline constexpr uint32_t kTimeNoSeconds = 2;         // TIME_NOSECONDS: seconds and their separator go
inline constexpr uint32_t kTimeForce24HourFormat = 8;  // TIME_FORCE24HOURFORMAT: h and hh count 0-23

// The day of the week (0 Sunday) of a date of the proleptic Gregorian calendar.
int day_of_week(int year, int month, int day);

// Writes the record's date into `out`; 0 (and `out` empty) unless it is a real calendar date
// (Gregorian leap years, year 1 or later). The record's day of week is not used: day names
// follow the date.
int format_date_picture(const DateTime& record, std::string_view picture, const DateLocale& names,
                        std::string* out);
// Writes the record's time into `out`; 0 (and `out` empty) unless time_valid.
int format_time_picture(const DateTime& record, uint32_t flags, std::string_view picture,
                        const DateLocale& names, std::string* out);

}  // namespace lumra::text
