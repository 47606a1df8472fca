// Tolerant reading of dates and times typed by the user: day and month in the short date
// format's order, two-digit years, AM/PM, and digit runs without separators ("930", "12301").
// Texts end at their first NUL or their end, and nothing past that is ever read.
#pragma once

#include <string_view>

#include "framework/text/date_time.h"

namespace lumra::text {

// The characters that end a group of digits in a date.
inline constexpr std::string_view kDateSeparators = ".:,;-/ ";

// True when a date picture puts the month before the day: its first "M" stands before its first
// "d", a letter the picture lacks counting as standing before the other.
bool month_first(std::string_view picture);

// Sets the record's year, month, day of week (0) and day from the text; its time fields are
// left as they were. 1 when the result is a valid date (date_valid), else 0.
// "1.5.15", "01.05.2015" and "1.05.2015" read day first as 1 May 2015; "01.05" as 1 May 2000.
// A text whose first group of digits runs to its end ("010515") is read as two digits each for
// day and month in the picture's order and up to four for the year.
int parse_date(DateTime* record, std::string_view text);
// Sets hour, minute, second and millisecond (as written: "1:2:3:45" gives 45 ms). With AM or PM
// in the text the hour must be 1-12. 1 when the result is time_valid.
// "12:30" is 12:30:00, "930" 09:30, "45" 00:45, "12301" 01:23:01, "2530" 00:25:30.
int parse_time(DateTime* record, std::string_view text);
// As parse_time without the AM/PM rules, so the hour may pass 23 ("2530" is 25:30); 1 when the
// result is duration_valid.
int parse_duration(DateTime* record, std::string_view text);

// Parse into a zeroed record and keep the packed fields (hundredths = milliseconds / 10).
// 0, with `out` untouched, when parsing fails.
int text_to_packed_date(std::string_view text, PackedDate* out);
int text_to_packed_time(std::string_view text, PackedTime* out);

}  // namespace lumra::text
