// The locale's date and time formats, read once at start-up: pictures and names in the Windows
// character set (code page 1252), ready for the picture formatter, and the 24-hour time picture
// made from the locale's time picture.
//
// Start-up: a static initializer of date_locale.cpp reads the environment's time locale before
// main, in every program that formats or parses dates (the functions that use the formats live
// beside it, so the linker always brings it along). Programs call nothing; date_locale_load()
// reads the environment again, date_locale_set() installs given conventions (tests).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/locale.h"

namespace lumra::text {

struct DateLocale {
  std::string short_date;  // pictures, code page 1252
  std::string long_date;
  std::string time;
  std::string time_24;  // `time` with every "t" made a space, then trimmed of spaces
  int32_t first_week_of_year;
  std::string day_names[7];  // code page 1252, Sunday first
  std::string short_day_names[7];
  std::string month_names[12];
  std::string short_month_names[12];
  std::string am;
  std::string pm;
};

// The formats in use. Never empty after start-up.
const DateLocale& date_locale();

// Reads the environment's time locale again (LC_ALL, LC_TIME, LANG). 0 when that locale is not
// installed and the C locale's formats were taken instead; they are in place either way.
int date_locale_load();
// Installs the conventions of a named locale ("de_DE.UTF-8"); 0 and the C locale's when it is not
// installed.
int date_locale_load(const char* name);
// Installs given conventions (UTF-8 texts, as the system interface delivers them).
void date_locale_set(const sys::TimeLocale& conventions);

// The 24-hour picture rule on its own: "h:mm:ss tt" gives "h:mm:ss".
std::string time_24_picture(const std::string& time_picture);

}  // namespace lumra::text
