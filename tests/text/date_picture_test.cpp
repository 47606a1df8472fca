// The picture formatter on its own, with the C locale's names: every picture letter, quoting,
// the no-seconds and 24-hour flags, and the calendar check.
#include "framework/text/date_picture.h"

#include <gtest/gtest.h>

#include <string>

namespace lumra::text {
namespace {

DateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
  return DateTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0,
                  static_cast<uint16_t>(day),  static_cast<uint16_t>(hour),  static_cast<uint16_t>(minute),
                  static_cast<uint16_t>(second), static_cast<uint16_t>(ms)};
}

DateLocale english_names() {
  EXPECT_EQ(date_locale_load("C"), 1);
  return date_locale();
}

TEST(DayOfWeek, KnownDates) {
  EXPECT_EQ(day_of_week(2015, 5, 1), 5);   // a Friday
  EXPECT_EQ(day_of_week(2000, 2, 29), 2);  // a Tuesday
  EXPECT_EQ(day_of_week(2000, 3, 1), 3);
  EXPECT_EQ(day_of_week(1970, 1, 1), 4);
  EXPECT_EQ(day_of_week(1, 1, 1), 1);      // proleptic Gregorian: a Monday
  EXPECT_EQ(day_of_week(9999, 12, 31), 5);
}

TEST(DatePicture, Fields) {
  const DateLocale names = english_names();
  struct Case {
    const char* picture;
    DateTime record;
    const char* text;
  };
  const Case cases[] = {
      {"d/M/y", at(2015, 5, 1), "1/5/5"},
      {"dd/MM/yy", at(2015, 5, 1), "01/05/15"},
      {"dd.MM.yyyy", at(2015, 12, 31), "31.12.2015"},
      {"yyyy", at(99, 1, 1), "0099"},
      {"yyy yyyyy", at(2015, 1, 1), "2015 2015"},
      {"yy", at(2005, 1, 1), "05"},
      {"ddd dddd ddddd", at(2015, 5, 1), "Fri Friday Friday"},
      {"MMM MMMM MMMMM", at(2015, 5, 1), "May May May"},
      {"dddd, d MMMM yyyy", at(2015, 3, 1), "Sunday, 1 March 2015"},
      {"'day' d", at(2015, 5, 1), "day 1"},
      {"d 'o''clock' ''", at(2015, 5, 1), "1 o'clock '"},
      {"'unterminated d", at(2015, 5, 1), "unterminated d"},
      {"h:m:s t", at(2015, 5, 1), "h:m:s t"},  // time letters are text in a date
      {"", at(2015, 5, 1), ""},
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(format_date_picture(c.record, c.picture, names, &out), 1) << c.picture;
    EXPECT_EQ(out, c.text) << c.picture;
  }
}

TEST(DatePicture, DayNamesFollowTheDateNotTheField) {
  const DateLocale names = english_names();
  DateTime r = at(2015, 5, 1);
  r.day_of_week = 2;
  std::string out;
  format_date_picture(r, "dddd", names, &out);
  EXPECT_EQ(out, "Friday");
}

TEST(DatePicture, OnlyCalendarDates) {
  const DateLocale names = english_names();
  std::string out = "stale";
  EXPECT_EQ(format_date_picture(at(1900, 2, 29), "d", names, &out), 0) << "1900 is no leap year";
  EXPECT_EQ(out, "");
  EXPECT_EQ(format_date_picture(at(2000, 2, 29), "d", names, &out), 1);
  EXPECT_EQ(format_date_picture(at(2015, 13, 1), "d", names, &out), 0);
  EXPECT_EQ(format_date_picture(at(0, 1, 1), "d", names, &out), 0);
  EXPECT_EQ(format_date_picture(at(2015, 4, 31), "d", names, &out), 0);
}

TEST(TimePicture, Fields) {
  DateLocale names = english_names();
  struct Case {
    const char* picture;
    uint32_t flags;
    DateTime record;
    const char* text;
  };
  const DateTime afternoon = at(0, 0, 0, 15, 5, 7);
  const Case cases[] = {
      {"h:m:s t", 0, afternoon, "3:5:7 P"},
      {"hh:mm:ss tt", 0, afternoon, "03:05:07 PM"},
      {"H:mm", 0, afternoon, "15:05"},
      {"HH:mm:ss", 0, at(0, 0, 0, 9, 5, 7), "09:05:07"},
      {"hh:mm tt", 0, at(0, 0, 0, 0, 0), "12:00 AM"},
      {"hh:mm tt", 0, at(0, 0, 0, 12, 0), "12:00 PM"},
      {"hh:mm:ss tt", kTimeNoSeconds, afternoon, "03:05 PM"},  // the separator before goes too
      {"HH:mm:ss", kTimeNoSeconds, afternoon, "15:05"},
      {"ss", kTimeNoSeconds, afternoon, ""},
      {"h:mm:ss tt", kTimeForce24HourFormat, afternoon, "15:05:07 PM"},
      {"h:mm", kTimeForce24HourFormat, at(0, 0, 0, 0, 5), "0:05"},
      {"HH'h'mm", 0, afternoon, "15h05"},
      {"d M y", 0, afternoon, "d M y"},  // date letters are text in a time
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(format_time_picture(c.record, c.flags, c.picture, names, &out), 1) << c.picture;
    EXPECT_EQ(out, c.text) << c.picture;
  }
  names.am = "";
  std::string out;
  format_time_picture(at(0, 0, 0, 9, 0), 0, "H t tt|", names, &out);
  EXPECT_EQ(out, "9  |") << "a locale without markers";
  EXPECT_EQ(format_time_picture(at(0, 0, 0, 24, 0), 0, "H", names, &out), 0);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace lumra::text
