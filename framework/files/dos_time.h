// The packed DOS date and time of archive headers and directory searches, in local time as DOS
// kept it: two-second steps, years 1980 to 2107. Converts to and from file modification times.
#pragma once

#include <cstdint>
#include <ctime>

namespace lumra::files {

// Calendar fields of a listing entry, in the order the listing keeps them.
struct DosCalendar {
  uint16_t year;
  uint16_t month;        // 1-12
  uint16_t day_of_week;  // not filled: 0
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;  // always 0
};

// Bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours, 16-20 day, 21-24 month, 25-31 years since 1980.
uint32_t pack_dos_time(int year, int month, int day, int hour, int minute, int second);
DosCalendar unpack_dos_time(uint32_t packed);

// Local time of `t`, seconds rounded down to even; times before 1980 become 1980-01-01 00:00:00
// and times after 2107 the last representable moment.
uint32_t dos_time_from_unix(time_t t);
// The local time the packed fields name (fields out of range are carried over as mktime does).
time_t unix_from_dos_time(uint32_t packed);

}  // namespace lumra::files
