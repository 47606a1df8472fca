// The date-time record: its layout, the three validity rules, the number reader and the packed
// record conversions.
#include "framework/text/date_time.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace lumra::text {
namespace {

TEST(DateTimeRecord, LayoutIsTheSystemRecord) {
  EXPECT_EQ(offsetof(DateTime, year), 0u);
  EXPECT_EQ(offsetof(DateTime, month), 2u);
  EXPECT_EQ(offsetof(DateTime, day_of_week), 4u);
  EXPECT_EQ(offsetof(DateTime, day), 6u);
  EXPECT_EQ(offsetof(DateTime, hour), 8u);
  EXPECT_EQ(offsetof(DateTime, minute), 10u);
  EXPECT_EQ(offsetof(DateTime, second), 12u);
  EXPECT_EQ(offsetof(DateTime, millisecond), 14u);
  EXPECT_EQ(offsetof(PackedDate, day), 2u);
  EXPECT_EQ(offsetof(PackedDate, month), 3u);
  EXPECT_EQ(offsetof(PackedTime, minute), 0u);
  EXPECT_EQ(offsetof(PackedTime, hour), 1u);
  EXPECT_EQ(offsetof(PackedTime, hundredths), 2u);
  EXPECT_EQ(offsetof(PackedTime, second), 3u);
}

DateTime date(int year, int month, int day, int day_of_week = 0) {
  DateTime r{};
  r.year = static_cast<uint16_t>(year);
  r.month = static_cast<uint16_t>(month);
  r.day = static_cast<uint16_t>(day);
  r.day_of_week = static_cast<uint16_t>(day_of_week);
  return r;
}

DateTime clock_time(int hour, int minute, int second = 0, int millisecond = 0) {
  DateTime r{};
  r.hour = static_cast<uint16_t>(hour);
  r.minute = static_cast<uint16_t>(minute);
  r.second = static_cast<uint16_t>(second);
  r.millisecond = static_cast<uint16_t>(millisecond);
  return r;
}

struct DateCase {
  DateTime record;
  bool valid;
  const char* why;
};

TEST(DateTimeRecord, DateValidity) {
  const DateCase cases[] = {
      {date(2015, 5, 1), true, "a plain date"},
      {date(0, 5, 1), false, "year 0"},
      {date(1, 1, 1), true, "year 1"},
      {date(2015, 0, 1), false, "month 0"},
      {date(2015, 13, 1), false, "month 13"},
      {date(2015, 5, 0), false, "day 0"},
      {date(2015, 1, 31), true, "31 January"},
      {date(2015, 4, 31), false, "31 April"},
      {date(2015, 12, 31), true, "31 December"},
      {date(2015, 2, 29), false, "29 February of a common year"},
      {date(2016, 2, 29), true, "29 February of a leap year"},
      {date(2016, 2, 30), false, "30 February"},
      {date(1900, 2, 29), true, "no century rule"},
      {date(2000, 2, 29), true, "divisible by 400"},
      {date(2015, 5, 1, 6), true, "day of week 6"},
      {date(2015, 5, 1, 7), false, "day of week 7"},
  };
  for (const DateCase& c : cases) EXPECT_EQ(date_valid(c.record), c.valid) << c.why;
}

TEST(DateTimeRecord, TimeAndDurationValidity) {
  struct Case {
    DateTime record;
    bool time, duration;
  };
  const Case cases[] = {
      {clock_time(0, 0), true, true},        {clock_time(23, 59, 59, 999), true, true},
      {clock_time(24, 0), false, true},      {clock_time(100, 30), false, true},
      {clock_time(12, 60), false, false},    {clock_time(12, 0, 60), false, false},
      {clock_time(12, 0, 0, 1000), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record.hour);
    EXPECT_EQ(time_valid(c.record), c.time);
    EXPECT_EQ(duration_valid(c.record), c.duration);
  }
}

TEST(DateTimeRecord, RecordValidIsDateOrTime) {
  DateTime r = date(2015, 5, 1);
  r.hour = 25;
  EXPECT_TRUE(record_valid(r)) << "a valid date";
  r.month = 13;
  EXPECT_FALSE(record_valid(r)) << "neither";
  r.hour = 12;
  EXPECT_TRUE(record_valid(r)) << "a valid time";
}

TEST(DateTimeRecord, MonthLengths) {
  const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(month_length(2015, m), lengths[m - 1]) << m;
  EXPECT_EQ(month_length(2100, 2), 29);
  EXPECT_EQ(month_length(2015, 0), 0);
  EXPECT_EQ(month_length(2015, 13), 0);
}

TEST(ReadNumber, Cases) {
  struct Case {
    const char* text;
    int n;
    int64_t value;
  };
  const Case cases[] = {
      {"5.", 2, 5},         {"", 4, 0},      {".5", 2, 0},      {"2015", 4, 2015},  {"20151", 4, 2015},
      {"12", 1, 1},         {"7", 4, 7},     {"0012", 4, 12},   {" 5", 2, 0},       {"-5", 2, 0},
      {"99999999999", 10, 9999999999},       {"99999999999", 11, 9999999999},       {"12", 0, 0},
      {"12", -3, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(read_number(c.text, c.n), c.value) << '"' << c.text << "\" n=" << c.n;
}

TEST(ReadNumber, StopsAtTheEndOfAView) {
  const char digits[] = "123456";
  EXPECT_EQ(read_number(std::string_view(digits, 2), 4), 12);
}

TEST(Packed, DateToRecordZeroesTheRest) {
  DateTime r = clock_time(12, 30, 15, 500);
  r.day_of_week = 3;
  packed_date_to_record(PackedDate{2015, 1, 5}, &r);
  EXPECT_EQ(r.year, 2015);
  EXPECT_EQ(r.month, 5);
  EXPECT_EQ(r.day, 1);
  EXPECT_EQ(r.day_of_week, 0);
  EXPECT_EQ(r.hour, 0);
  EXPECT_EQ(r.millisecond, 0);
}

TEST(Packed, TimeToRecordScalesHundredths) {
  DateTime r = date(2015, 5, 1);
  packed_time_to_record(PackedTime{5, 15, 25, 7}, &r);
  EXPECT_EQ(r.hour, 15);
  EXPECT_EQ(r.minute, 5);
  EXPECT_EQ(r.second, 7);
  EXPECT_EQ(r.millisecond, 250);
  EXPECT_EQ(r.year, 0);
  EXPECT_EQ(r.day, 0);
}

}  // namespace
}  // namespace lumra::text
