// DOS packed time <-> time_t through the C library's local-time conversions, so a time written
// by one command reads back as the same wall-clock time whatever the daylight-saving state.
#include "framework/files/dos_time.h"

#include "platform/system/clock.h"

namespace lumra::files {

uint32_t pack_dos_time(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = (static_cast<uint32_t>(year - 1980) & 0x7F) << 9 | (static_cast<uint32_t>(month) & 15) << 5 |
                        (static_cast<uint32_t>(day) & 31);
  const uint32_t time = (static_cast<uint32_t>(hour) & 31) << 11 | (static_cast<uint32_t>(minute) & 63) << 5 |
                        ((static_cast<uint32_t>(second) / 2) & 31);
  return date << 16 | time;
}

DosCalendar unpack_dos_time(uint32_t packed) {
  const uint32_t date = packed >> 16;
  const uint32_t time = packed & 0xFFFF;
  DosCalendar c{};
  c.year = static_cast<uint16_t>((date >> 9) + 1980);
  c.month = static_cast<uint16_t>((date >> 5) & 15);
  c.day = static_cast<uint16_t>(date & 31);
  c.hour = static_cast<uint16_t>(time >> 11);
  c.minute = static_cast<uint16_t>((time >> 5) & 63);
  c.second = static_cast<uint16_t>((time & 31) * 2);
  return c;
}

uint32_t dos_time_from_unix(time_t t) {
  std::tm local{};
  if (!sys::local_time(t, &local)) return pack_dos_time(1980, 1, 1, 0, 0, 0);
  const int year = local.tm_year + 1900;
  if (year < 1980) return pack_dos_time(1980, 1, 1, 0, 0, 0);
  if (year > 2107) return pack_dos_time(2107, 12, 31, 23, 59, 58);
  return pack_dos_time(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

time_t unix_from_dos_time(uint32_t packed) {
  const DosCalendar c = unpack_dos_time(packed);
  std::tm local{};
  local.tm_year = c.year - 1900;
  local.tm_mon = c.month - 1;
  local.tm_mday = c.day;
  local.tm_hour = c.hour;
  local.tm_min = c.minute;
  local.tm_sec = c.second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace lumra::files
