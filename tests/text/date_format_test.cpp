// Dates and times as OEM texts in the formats of real locales (C, en_US, de_DE, fr_FR, ru_RU):
// the result rings, validity, the precisions, both clocks, and the names in the OEM set.
#include "framework/text/date_format.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/text/date_locale.h"

namespace lumra::text {
namespace {

DateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
  return DateTime{static_cast<uint16_t>(year), static_cast<uint16_t>(month), 0,
                  static_cast<uint16_t>(day),  static_cast<uint16_t>(hour),  static_cast<uint16_t>(minute),
                  static_cast<uint16_t>(second), static_cast<uint16_t>(ms)};
}

class FormatDate : public ::testing::Test {
 protected:
  void SetUp() override { date_format_reset(); }
  void TearDown() override {
    date_format_reset();
    date_locale_load("C");
  }
  static void use_locale(const char* name) {
    ASSERT_EQ(date_locale_load(name), 1) << name << " is not installed: scripts/test installs locales-all";
  }
};

TEST_F(FormatDate, ShortDateInTheLocalesFormat) {
  use_locale("C");
  EXPECT_STREQ(format_short_date(at(2015, 5, 1)), "05/01/15");
  use_locale("en_US.UTF-8");
  EXPECT_STREQ(format_short_date(at(2015, 5, 1)), "05/01/2015");
  use_locale("de_DE.UTF-8");
  EXPECT_STREQ(format_short_date(at(2015, 5, 1)), "01.05.2015");
}

TEST_F(FormatDate, InvalidDatesGiveTheEmptyText) {
  use_locale("de_DE.UTF-8");
  EXPECT_STREQ(format_short_date(at(2015, 13, 1)), "");
  EXPECT_STREQ(format_short_date(at(2015, 2, 29)), "");
  DateTime r = at(2015, 5, 1);
  r.day_of_week = 7;
  EXPECT_STREQ(format_short_date(r), "");
  // Valid by the framework's rule, but not a calendar date: the formatter refuses it.
  EXPECT_STREQ(format_short_date(at(1900, 2, 29)), "");
  EXPECT_EQ(g_date_format.short_date_index, 1u) << "only the calendar refusal took a slot";
}

TEST_F(FormatDate, NinthShortDateReusesTheFirstBuffer) {
  use_locale("de_DE.UTF-8");
  const char* results[8];
  for (int i = 0; i < 8; ++i) {
    results[i] = format_short_date(at(2015, 5, i + 1));
    EXPECT_STREQ(format_short_date(at(2015, 13, 1)), "") << "an invalid date takes no slot";
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(results[i], std::string("0") + std::to_string(i + 1) + ".05.2015") << "all eight still hold";
  }
  const char* ninth = format_short_date(at(2015, 6, 9));
  EXPECT_EQ(ninth, results[0]);
  EXPECT_STREQ(results[0], "09.06.2015");
  EXPECT_STREQ(results[1], "02.05.2015");
}

TEST_F(FormatDate, LongDateWithTheLocalesNamesInOem) {
  use_locale("de_DE.UTF-8");
  // "Sonntag, 1 März 2015": ä is 0xE4 in the Windows set and 0x84 in the OEM set.
  EXPECT_STREQ(format_long_date(at(2015, 3, 1)), "Sonntag, 1 M\x84rz 2015");
  use_locale("de_DE");  // the same names from ISO-8859-1 data
  EXPECT_STREQ(format_long_date(at(2015, 3, 1)), "Sonntag, 1 M\x84rz 2015");
  use_locale("fr_FR.UTF-8");
  EXPECT_STREQ(format_long_date(at(2015, 2, 1)), "dimanche, 1 f\x82vrier 2015");  // é
  use_locale("C");
  EXPECT_STREQ(format_long_date(at(2015, 5, 1)), "Friday, 1 May 2015");
}

TEST_F(FormatDate, LongDateHasOneBufferAndNoValidityTest) {
  use_locale("C");
  const char* first = format_long_date(at(2015, 5, 1));
  DateTime r = at(2015, 5, 2);
  r.day_of_week = 9;  // date_valid fails; the long date does not ask
  const char* second = format_long_date(r);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(second, "Saturday, 2 May 2015");
  EXPECT_STREQ(format_long_date(at(2015, 13, 1)), "") << "no calendar date";
}

TEST_F(FormatDate, NamesWithoutAnOemCharacter) {
  use_locale("ru_RU.UTF-8");  // Cyrillic: no Windows 1252 character, so '?'
  EXPECT_STREQ(format_long_date(at(2015, 5, 1)), "???????, 1 ??? 2015");
}

struct PrecisionCase {
  int precision;
  bool clock_24;
  const char* text;
};

TEST_F(FormatDate, TimePrecisionsOnTheCLocale) {
  use_locale("C");  // HH:mm:ss
  const DateTime r = at(0, 0, 0, 15, 5, 7, 250);
  const PrecisionCase cases[] = {
      {0, false, "15:05"},        {1, false, "15:05:07"}, {2, false, "15:05:07.250"},
      {3, false, "15:05:07.2"},   {4, false, "15:05:07"}, {-1, false, "15:05:07"},
      {0, true, "15:05"},         {3, true, "15:05:07.2"},
  };
  for (const PrecisionCase& c : cases) {
    EXPECT_STREQ(format_time(r, c.precision, c.clock_24), c.text) << c.precision << " " << c.clock_24;
  }
  EXPECT_STREQ(format_time(at(0, 0, 0, 1, 2, 3, 9), 2), "01:02:03.009");
  EXPECT_STREQ(format_time(at(0, 0, 0, 1, 2, 3, 99), 3), "01:02:03.0");
}

TEST_F(FormatDate, BothClocksOnATwelveHourLocale) {
  use_locale("en_US.UTF-8");  // hh:mm:ss tt
  EXPECT_EQ(date_locale().time_24, "hh:mm:ss");
  const DateTime r = at(0, 0, 0, 15, 5, 7, 250);
  const PrecisionCase cases[] = {
      {1, false, "03:05:07 PM"}, {0, false, "03:05 PM"},   {3, false, "03:05:07 PM.2"},
      {1, true, "15:05:07"},     {0, true, "15:05"},       {2, true, "15:05:07.250"},
  };
  for (const PrecisionCase& c : cases) {
    EXPECT_STREQ(format_time(r, c.precision, c.clock_24), c.text) << c.precision << " " << c.clock_24;
  }
  EXPECT_STREQ(format_time_24(at(0, 0, 0, 0, 30), 1), "00:30:00");
  EXPECT_STREQ(format_time(at(0, 0, 0, 0, 30), 1), "12:30:00 AM");
  EXPECT_STREQ(format_time(at(0, 0, 0, 12, 30), 1), "12:30:00 PM");
}

TEST_F(FormatDate, InvalidTimesGiveTheEmptyText) {
  use_locale("C");
  EXPECT_STREQ(format_time(at(0, 0, 0, 24, 0), 1), "");
  EXPECT_STREQ(format_time(at(0, 0, 0, 12, 60), 1), "");
  EXPECT_STREQ(format_time(at(0, 0, 0, 12, 0, 0, 1000), 2), "");
  EXPECT_EQ(g_date_format.time_index, 0u);
}

TEST_F(FormatDate, TimesHaveTheirOwnRing) {
  use_locale("C");
  const char* date = format_short_date(at(2015, 5, 1));
  const char* first = format_time(at(0, 0, 0, 1, 0), 1);
  for (int i = 2; i <= 8; ++i) format_time(at(0, 0, 0, i, 0), 1);
  EXPECT_STREQ(first, "01:00:00");
  EXPECT_EQ(format_time_24(at(0, 0, 0, 9, 0), 1), first);
  EXPECT_STREQ(first, "09:00:00");
  EXPECT_STREQ(date, "05/01/15") << "the date ring is apart";
}

}  // namespace
}  // namespace lumra::text
