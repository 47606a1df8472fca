// The global date locale and its start-up read. Texts arrive from the system interface in UTF-8
// and are kept in code page 1252, the set the formatted results are made in before they are
// converted to OEM; characters 1252 lacks become '?'.
#include "framework/text/date_locale.h"

#include "framework/base/error.h"
#include "framework/text/oem.h"

namespace lumra::text {
namespace {

DateLocale g_date_locale;

// Before main, as the program's start-up reads the formats; a program linked without the date
// functions does not carry this file and reads nothing.
struct StartupRead {
  StartupRead() { date_locale_load(); }
};
StartupRead g_startup_read;

}  // namespace

const DateLocale& date_locale() { return g_date_locale; }

std::string time_24_picture(const std::string& time_picture) {
  std::string picture = time_picture;
  for (char& c : picture) {
    if (c == 't') c = ' ';
  }
  const size_t first = picture.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return picture.substr(first, picture.find_last_not_of(' ') - first + 1);
}

void date_locale_set(const sys::TimeLocale& conventions) {
  DateLocale& d = g_date_locale;
  d.short_date = utf8_to_windows(conventions.short_date);
  d.long_date = utf8_to_windows(conventions.long_date);
  d.time = utf8_to_windows(conventions.time);
  d.time_24 = time_24_picture(d.time);
  d.first_week_of_year = conventions.first_week_of_year;
  for (int i = 0; i < 7; ++i) {
    d.day_names[i] = utf8_to_windows(conventions.day_names[i]);
    d.short_day_names[i] = utf8_to_windows(conventions.short_day_names[i]);
  }
  for (int i = 0; i < 12; ++i) {
    d.month_names[i] = utf8_to_windows(conventions.month_names[i]);
    d.short_month_names[i] = utf8_to_windows(conventions.short_month_names[i]);
  }
  d.am = utf8_to_windows(conventions.am);
  d.pm = utf8_to_windows(conventions.pm);
}

int date_locale_load(const char* name) {
  sys::TimeLocale conventions;
  const int found = sys::read_time_locale(name, &conventions);
  date_locale_set(conventions);
  return found ? 1 : base::failf("time locale \"%s\" is not installed; using the C locale", name);
}

int date_locale_load() {
  sys::TimeLocale conventions;
  const int found = sys::read_time_locale(&conventions);
  date_locale_set(conventions);
  return found ? 1 : base::fail("the environment's time locale is not installed; using the C locale");
}

}  // namespace lumra::text
