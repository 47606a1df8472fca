// Reading dates and times typed by the user: group lengths, the locale's day-month order (real
// de_DE and en_US locales from locales-all, and the C locale), two-digit years, digit-only dates,
// the AM/PM and restart rules of times, durations, and the packed forms.
#include "framework/text/date_parse.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/text/date_locale.h"

namespace lumra::text {
namespace {

void use_locale(const char* name) {
  ASSERT_EQ(date_locale_load(name), 1) << name << " is not installed: scripts/test installs locales-all";
}

class ParseDate : public ::testing::Test {
 protected:
  void TearDown() override { date_locale_load("C"); }
};

struct DateCase {
  const char* text;
  int year, month, day;  // 0 0 0: parsing fails
};

void expect_dates(const DateCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const DateCase& c = cases[i];
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    DateTime r{};
    const int ok = parse_date(&r, c.text);
    if (c.year == 0) {
      EXPECT_EQ(ok, 0);
      continue;
    }
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(r.year, c.year);
    EXPECT_EQ(r.month, c.month);
    EXPECT_EQ(r.day, c.day);
    EXPECT_EQ(r.day_of_week, 0);
  }
}

TEST_F(ParseDate, DayFirst) {
  use_locale("de_DE.UTF-8");  // dd.MM.yyyy
  const DateCase cases[] = {
      {"1.5.15", 2015, 5, 1},
      {"01.05.2015", 2015, 5, 1},
      {"1.05.2015", 2015, 5, 1},
      {"01.05", 2000, 5, 1},       // no year: 2000
      {"1.5", 2000, 5, 1},
      {"12.5.2015", 2015, 5, 12},  // first group of two, second of one
      {"1.12.2015", 2015, 12, 1},
      {"31.12.99", 1999, 12, 31},  // 50 and above: the 1900s
      {"1.5.49", 2049, 5, 1},
      {"1.5.50", 1950, 5, 1},
      {"1.5.0", 2000, 5, 1},
      {"1.5.0015", 15, 5, 1},      // four characters: taken as written
      {"1/5/2015", 2015, 5, 1},    // any of the separators
      {"1-5-2015", 2015, 5, 1},
      {"1 5 2015", 2015, 5, 1},
      {"1,5;2015", 2015, 5, 1},
      {"on 1.5.2015", 2015, 5, 1}, // reading starts at the first digit
      {"29.2.1900", 1900, 2, 29},  // no century rule
      {"29.2.2016", 2016, 2, 29},
      {"29.2.2015", 0, 0, 0},
      {"31.4.2015", 0, 0, 0},
      {"1.13.2015", 0, 0, 0},      // month 13 reads as "1" then a year of ".201"
      {"0.5.2015", 0, 0, 0},
      {"", 0, 0, 0},
      {"no digits", 0, 0, 0},
      {"1.", 0, 0, 0},             // no month
  };
  expect_dates(cases, std::size(cases));
}

TEST_F(ParseDate, MonthFirst) {
  use_locale("en_US.UTF-8");  // MM/dd/yyyy
  const DateCase cases[] = {
      {"5/1/2015", 2015, 5, 1},
      {"05/01/2015", 2015, 5, 1},
      {"12/31/15", 2015, 12, 31},
      {"5/31", 2000, 5, 31},
      {"13/1/2015", 0, 0, 0},
  };
  expect_dates(cases, std::size(cases));
}

TEST_F(ParseDate, BareMachineIsMonthFirst) {
  use_locale("C");  // MM/dd/yy
  const DateCase cases[] = {{"5/1/15", 2015, 5, 1}, {"1.5.15", 2015, 1, 5}};
  expect_dates(cases, std::size(cases));
}

TEST_F(ParseDate, DigitsOnly) {
  use_locale("de_DE.UTF-8");
  const DateCase day_first[] = {
      {"010515", 2015, 5, 1},
      {"01052015", 2015, 5, 1},  // the year takes up to four digits
      {"311299", 1999, 12, 31},
      {"0105", 2000, 5, 1},
      {"01", 0, 0, 0},           // no month
      {"1", 0, 0, 0},
      {"0105x5", 2000, 5, 1},    // the year text "x5" reads 0
  };
  expect_dates(day_first, std::size(day_first));
  use_locale("en_US.UTF-8");
  const DateCase month_first[] = {{"050115", 2015, 5, 1}, {"123199", 1999, 12, 31}};
  expect_dates(month_first, std::size(month_first));
}

TEST_F(ParseDate, TimeFieldsAreLeftAlone) {
  use_locale("de_DE.UTF-8");
  DateTime r{};
  r.day_of_week = 4;
  r.hour = 13;
  r.minute = 14;
  r.second = 15;
  r.millisecond = 16;
  ASSERT_EQ(parse_date(&r, "1.5.2015"), 1);
  EXPECT_EQ(r.day_of_week, 0);
  EXPECT_EQ(r.hour, 13);
  EXPECT_EQ(r.minute, 14);
  EXPECT_EQ(r.second, 15);
  EXPECT_EQ(r.millisecond, 16);
}

TEST_F(ParseDate, AValidTimeDoesNotMakeABadDateSucceed) {
  use_locale("de_DE.UTF-8");
  DateTime r{};  // time fields 00:00:00.000, a valid time
  EXPECT_EQ(parse_date(&r, "31.2.2015"), 0);
  EXPECT_EQ(r.day, 31) << "the fields are still set";
  EXPECT_EQ(r.month, 2);
}

TEST_F(ParseDate, TextEndsAtItsEndOrItsNul) {
  use_locale("de_DE.UTF-8");
  DateTime r{};
  // Only "1.5.2" of the view: the digits after it are not the text's.
  const char bytes[] = "1.5.2015";
  ASSERT_EQ(parse_date(&r, std::string_view(bytes, 5)), 1);
  EXPECT_EQ(r.year, 2002);
  ASSERT_EQ(parse_date(&r, std::string_view("1.5.20\0" "15", 9)), 1);
  EXPECT_EQ(r.year, 2020);
}

TEST(MonthFirst, PictureOrder) {
  struct Case {
    const char* picture;
    bool month_first;
  };
  const Case cases[] = {
      {"MM/dd/yy", true}, {"dd.MM.yyyy", false}, {"yyyy-MM-dd", true}, {"d MMMM", false},
      {"yyyy-dd", true},   // no M: it stands before d
      {"MM yyyy", false},  // no d: it stands before M
      {"yyyy", false},     // neither
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(month_first(c.picture), c.month_first) << c.picture;
}

struct TimeCase {
  const char* text;
  int ok;
  int hour = 0, minute = 0, second = 0, millisecond = 0;  // when ok
};

void expect_times(int (*parse)(DateTime*, std::string_view), const TimeCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const TimeCase& c = cases[i];
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    DateTime r{};
    EXPECT_EQ(parse(&r, c.text), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(r.hour, c.hour);
    EXPECT_EQ(r.minute, c.minute);
    EXPECT_EQ(r.second, c.second);
    EXPECT_EQ(r.millisecond, c.millisecond);
  }
}

TEST(ParseTime, Cases) {
  const TimeCase cases[] = {
      {"11:00 PM", 1, 23, 0, 0, 0},
      {"12:00 PM", 1, 12, 0, 0, 0},
      {"12:00 AM", 1, 0, 0, 0, 0},
      {"13:00 PM", 0},
      {"0:00 AM", 0},
      {"12:30", 1, 12, 30, 0, 0},
      {"9:30", 1, 9, 30, 0, 0},
      {"930", 1, 9, 30, 0, 0},
      {"45", 1, 0, 45, 0, 0},      // one or two digits are minutes
      {"7", 1, 0, 7, 0, 0},
      {"12:30:15", 1, 12, 30, 15, 0},
      {"12301", 1, 1, 23, 1, 0},   // a lone last digit: the hour had one digit
      {"3:05 PM", 1, 15, 5, 0, 0},
      {"3:05 pm", 1, 15, 5, 0, 0},
      {"9:30 am", 1, 9, 30, 0, 0},
      {"12:15 am", 1, 0, 15, 0, 0},
      {"2530", 1, 0, 25, 30, 0},   // no hour 25: minutes and seconds
      {"24:00", 1, 0, 24, 0, 0},
      {"11 PM", 0},                // an hour but no minutes
      {"123015", 1, 12, 30, 15, 0},
      {"1:2:3:45", 1, 1, 2, 3, 45},   // milliseconds as written
      {"12:30:15.5", 1, 12, 30, 15, 5},  // a separator: no restart
      {"1230155", 1, 1, 23, 1, 55},
      {"12:60", 0},
      {"99:99", 0},
      {"", 0},
      {"PM", 0},
      {"at 9:30", 1, 9, 30, 0, 0},
      {"12a30b1", 1, 0, 12, 30, 0},  // restarts down to an hour of no digits
  };
  expect_times(parse_time, cases, std::size(cases));
}

TEST(ParseTime, FailsWhateverTheRecordsDate) {
  DateTime r{};
  r.year = 2015;
  r.month = 5;
  r.day = 1;
  EXPECT_EQ(parse_time(&r, "99:99"), 0) << "a valid date does not make a bad time succeed";
  EXPECT_EQ(r.year, 2015) << "the date fields are not touched";
  EXPECT_EQ(parse_time(&r, "11 PM"), 0);
  EXPECT_EQ(r.hour, 23) << "the hour is kept as far as it was read";
  EXPECT_EQ(parse_time(&r, "nothing"), 0);
  EXPECT_EQ(r.hour, 25) << "no digit: the hour's start value";
}

TEST(ParseDuration, Cases) {
  const TimeCase cases[] = {
      {"2530", 1, 25, 30, 0, 0},   // the hour may pass 23
      {"12:30 PM", 1, 12, 30, 0, 0},  // no AM/PM rules
      {"3:05 PM", 1, 3, 5, 0, 0},
      {"0:30 AM", 1, 0, 30, 0, 0},
      {"99:59:59", 1, 99, 59, 59, 0},
      {"12301", 1, 1, 23, 1, 0},
      {"45", 1, 0, 45, 0, 0},
      {"11 PM", 0},
      {"99:99", 0},
      {"", 0},
  };
  expect_times(parse_duration, cases, std::size(cases));
}

TEST(Packed, TextToPackedDate) {
  use_locale("de_DE.UTF-8");
  PackedDate p{};
  ASSERT_EQ(text_to_packed_date("1.5.15", &p), 1);
  EXPECT_EQ(p.year, 2015);
  EXPECT_EQ(p.month, 5);
  EXPECT_EQ(p.day, 1);
  p = PackedDate{1999, 9, 9};
  EXPECT_EQ(text_to_packed_date("31.2.2015", &p), 0) << "a zeroed record's valid time does not count";
  EXPECT_EQ(p.year, 1999) << "untouched on failure";
  EXPECT_EQ(p.day, 9);
  date_locale_load("C");
}

TEST(Packed, TextToPackedTime) {
  PackedTime p{};
  ASSERT_EQ(text_to_packed_time("3:05:07 PM", &p), 1);
  EXPECT_EQ(p.hour, 15);
  EXPECT_EQ(p.minute, 5);
  EXPECT_EQ(p.second, 7);
  EXPECT_EQ(p.hundredths, 0);
  ASSERT_EQ(text_to_packed_time("1:2:3:45", &p), 1);
  EXPECT_EQ(p.hundredths, 4) << "45 ms as written";
  p = PackedTime{1, 2, 3, 4};
  EXPECT_EQ(text_to_packed_time("13:00 PM", &p), 0);
  EXPECT_EQ(p.minute, 1) << "untouched on failure";
  EXPECT_EQ(p.second, 4);
}

TEST(Packed, RoundTrip) {
  DateTime r{};
  packed_time_to_record(PackedTime{59, 23, 99, 58}, &r);
  EXPECT_TRUE(time_valid(r));
  EXPECT_EQ(r.millisecond, 990);
  packed_date_to_record(PackedDate{2016, 29, 2}, &r);
  EXPECT_TRUE(date_valid(r));
}

}  // namespace
}  // namespace lumra::text
