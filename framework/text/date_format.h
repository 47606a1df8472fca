// Dates and times as OEM texts in the locale's formats. Short dates and times each rotate through
// their own ring of 8 results, so the last eight of each kind stay valid at once; the long date
// has one. An invalid record gives a fixed empty text and leaves the ring as it was.
#pragma once

#include <cstdint>
#include <string>

#include "framework/text/date_time.h"

namespace lumra::text {

inline constexpr int kResultRing = 8;

struct DateFormatState {
  std::string short_dates[kResultRing];
  uint32_t short_date_index;  // the slot used last
  std::string times[kResultRing];
  uint32_t time_index;
  std::string long_date;
};
extern DateFormatState g_date_format;

// The short date picture's text; "" unless date_valid, or for a date the calendar lacks
// (29 February 1900 passes date_valid).
const char* format_short_date(const DateTime& record);
// The long date picture's text (no validity test); "" for a date the calendar lacks.
const char* format_long_date(const DateTime& record);
// The time; "" unless time_valid. Precision 0 leaves the seconds out, 1 shows seconds, 2 appends
// "." and the milliseconds in three digits, 3 "." and the tenths; any other precision is 1.
// The locale clock uses the time picture; the 24-hour clock its 24-hour picture with h as H.
const char* format_time(const DateTime& record, int precision, bool clock_24 = false);
const char* format_time_24(const DateTime& record, int precision);

// For tests: every result slot emptied and both rings back to their start.
void date_format_reset();

}  // namespace lumra::text
