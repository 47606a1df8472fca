// The locale's formats: the 24-hour picture rule, names kept in the Windows set, installing
// given conventions, and the read at program start-up (a child program run under chosen
// environments prints what it finds before doing anything else).
#include "framework/text/date_locale.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "framework/text/date_format.h"

namespace lumra::text {
namespace {

TEST(Time24Picture, TsBecomeSpacesAndEndsAreTrimmed) {
  struct Case {
    const char* time;
    const char* time_24;
  };
  const Case cases[] = {
      {"h:mm:ss tt", "h:mm:ss"},
      {"tt hh:mm:ss", "hh:mm:ss"},
      {"HH:mm:ss", "HH:mm:ss"},
      {"h:mm t ss", "h:mm   ss"},  // inner spaces stay
      {"tt", ""},
      {"", ""},
      {"h 'o''clock' tt", "h 'o''clock'"},  // a quoted t is a t all the same
      {"'at' h", "'a ' h"},
  };
  for (const Case& c : cases) EXPECT_EQ(time_24_picture(c.time), c.time_24) << c.time;
}

class DateLocaleTest : public ::testing::Test {
 protected:
  void TearDown() override { date_locale_load("C"); }
};

TEST_F(DateLocaleTest, GivenConventionsAreKeptInTheWindowsSet) {
  sys::TimeLocale l;
  l.short_date = "dd.MM.yyyy";
  l.long_date = "dddd d MMMM yyyy";
  l.time = "h:mm tt";
  l.first_week_of_year = sys::kFirstWeekIsFirstFullWeek;
  l.day_names[0] = "søndag";
  l.month_names[2] = "März";
  l.short_month_names[2] = "Mär";
  l.am = "a.m.";
  l.pm = "€";
  date_locale_set(l);
  const DateLocale& d = date_locale();
  EXPECT_EQ(d.short_date, "dd.MM.yyyy");
  EXPECT_EQ(d.time_24, "h:mm");
  EXPECT_EQ(d.first_week_of_year, 1);
  EXPECT_EQ(d.day_names[0], "s\xF8ndag");
  EXPECT_EQ(d.month_names[2], "M\xE4rz");
  EXPECT_EQ(d.pm, "\x80") << "the euro sign of the Windows set";
  EXPECT_EQ(d.am, "a.m.");
}

TEST_F(DateLocaleTest, MissingLocaleFallsBackToC) {
  EXPECT_EQ(date_locale_load("xx_NOWHERE.UTF-8"), 0);
  EXPECT_EQ(date_locale().short_date, "MM/dd/yy");
  EXPECT_EQ(date_locale().day_names[6], "Saturday");
  EXPECT_EQ(date_locale_load("de_DE.UTF-8"), 1);
  EXPECT_EQ(date_locale().short_date, "dd.MM.yyyy");
  EXPECT_EQ(date_locale().time_24, "HH:mm:ss");
  EXPECT_EQ(date_locale().first_week_of_year, sys::kFirstWeekHasFourDays);
}

// Runs the probe program with the given environment assignments and returns what it printed.
std::string run_probe(const std::string& environment) {
  const std::string command = "env -u LC_ALL -u LC_TIME -u LANG " + environment + " '" LUMRA_DATE_PROBE "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "popen failed";
  std::string out;
  char buffer[256];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) out += " (status " + std::to_string(status) + ")";
  return out;
}

TEST(StartUp, FormatsAreReadBeforeMain) {
  EXPECT_EQ(run_probe(""), "05/01/15|15:05:07|2015-03-04\n") << "a bare machine: the C locale";
  EXPECT_EQ(run_probe("LANG=de_DE.UTF-8"), "01.05.2015|15:05:07|2015-04-03\n");
  EXPECT_EQ(run_probe("LANG=de_DE.UTF-8 LC_TIME=en_US.UTF-8"), "05/01/2015|03:05:07 PM|2015-03-04\n");
  EXPECT_EQ(run_probe("LC_TIME=en_US.UTF-8 LC_ALL=en_GB.UTF-8"), "01/05/15|15:05:07|2015-04-03\n");
  EXPECT_EQ(run_probe("LC_ALL=xx_NOWHERE"), "05/01/15|15:05:07|2015-03-04\n");
}

}  // namespace
}  // namespace lumra::text
