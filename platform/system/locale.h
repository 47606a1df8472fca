// The locale's date and time conventions: its picture formats and its day, month and AM/PM names.
// Part of the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/ reads LC_TIME through nl_langinfo). Texts are UTF-8; pictures use the letters
// d dd ddd dddd M MM MMM MMMM y yy yyyy for dates, h hh H HH m mm s ss t tt for times, with
// literal text that contains letters in single quotes ('' is a quote).
#pragma once

#include <cstdint>
#include <string>

namespace lumra::sys {

// How the first week of a year is chosen (values of the Windows setting of the same meaning).
inline constexpr int32_t kFirstWeekHoldsJanuaryFirst = 0;
inline constexpr int32_t kFirstWeekIsFirstFullWeek = 1;
inline constexpr int32_t kFirstWeekHasFourDays = 2;

struct TimeLocale {
  std::string short_date;  // picture, e.g. "MM/dd/yy" or "dd.MM.yyyy"
  std::string long_date;   // picture; "dddd, d MMMM yyyy" where the system has no long form
  std::string time;        // picture, e.g. "hh:mm:ss tt" or "HH:mm:ss"
  int32_t first_week_of_year;
  std::string day_names[7];  // Sunday first
  std::string short_day_names[7];
  std::string month_names[12];  // January first
  std::string short_month_names[12];
  std::string am;  // time markers; empty where the locale has none
  std::string pm;
};

// The conventions of the environment's time locale (LC_ALL, else LC_TIME, else LANG), as the C
// library chooses them; a locale that is not installed gives the C locale's, like setlocale.
// Always fills `out`; 0 when it had to fall back to the C locale.
int read_time_locale(TimeLocale* out);
// The same for a locale named as in the environment ("de_DE.UTF-8", "C"); 0 and the C locale's
// conventions when it is not installed.
int read_time_locale(const char* name, TimeLocale* out);

}  // namespace lumra::sys
