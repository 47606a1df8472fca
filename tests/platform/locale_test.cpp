// The POSIX time locale: strftime formats turned into pictures, and the conventions of real
// installed locales (Debian's locales-all, which scripts/test installs) and of the environment.
#include "platform/system/locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/posix/strftime_picture.h"

namespace lumra::sys {
namespace {

struct PictureCase {
  const char* format;
  const char* picture;
};

constexpr PictureCase kPictureCases[] = {
    {"%m/%d/%y", "MM/dd/yy"},                    // C
    {"%m/%d/%Y", "MM/dd/yyyy"},                  // en_US
    {"%d.%m.%Y", "dd.MM.yyyy"},                  // de_DE
    {"%e.%m.%Y", "d.MM.yyyy"},                   // bg_BG: space-padded day
    {"%-d/%-m/%Y", "d/M/yyyy"},                  // unpadded flags
    {"%_d/%_m/%-y", "d/M/yy"},                   // a picture's y is the last digit alone
    {"%Oy/%Om/%Od", "yy/MM/dd"},                 // fa_IR: alternative digits modifier
    {"%Ey", "yy"},                               // era modifier
    {"%Y-%m-%d", "yyyy-MM-dd"},                  // sv_SE
    {"%F", "yyyy-MM-dd"},                        // composite
    {"%D", "MM/dd/yy"},                          // composite
    {"%Y. gada %e. %B", "yyyy'. gada 'd. MMMM"}, // letters are quoted
    {"%A %e %B %Y", "dddd d MMMM yyyy"},         // ar_SA: names
    {"%a %b", "ddd MMM"},
    {"%h", "MMM"},
    {"%H:%M:%S", "HH:mm:ss"},
    {"%T", "HH:mm:ss"},
    {"%R", "HH:mm"},
    {"%k:%M:%S", "H:mm:ss"},            // bg_BG
    {"%H.%M.%S", "HH.mm.ss"},           // fi_FI
    {"%I:%M:%S %p", "hh:mm:ss tt"},     // en_US T_FMT_AMPM
    {"%l:%M:%S %P %Z", "h:mm:ss tt"},   // en_GB: %Z dropped, the space left by it trimmed
    {"%-I:%-M:%-S", "h:m:s"},
    {"%H h %M", "HH' h 'mm"},
    {"%d'%m", "dd''MM"},                // a quote without letters is only doubled
    {"%d o'clock", "dd' o''clock'"},    // inside quotes too
    {"%j %U %C %s %z %Z", ""},          // no picture shows these
    {"100%% %d", "100% dd"},
    {"%d%n%t%m", "dd  MM"},
    {"%d %", "dd %"},                   // a lone % at the end stays literal
    {"%", "%"},
    {"%5d", "dd"},                      // a field width changes nothing a picture shows
};

TEST(StrftimePicture, Conversions) {
  const posix::StrftimeItems items{"%d/%m/%y", "%T", "%I:%M:%S %p", "%x %X"};
  for (const PictureCase& c : kPictureCases) {
    EXPECT_EQ(posix::picture_from_strftime(c.format, items), c.picture) << c.format;
  }
}

TEST(StrftimePicture, LocaleItems) {
  const posix::StrftimeItems items{"%d/%m/%y", "%T", "", "%x %X"};
  EXPECT_EQ(posix::picture_from_strftime("%x", items), "dd/MM/yy");
  EXPECT_EQ(posix::picture_from_strftime("%X", items), "HH:mm:ss");
  EXPECT_EQ(posix::picture_from_strftime("%c", items), "dd/MM/yy HH:mm:ss");
  EXPECT_EQ(posix::picture_from_strftime("%r", items), "hh:mm:ss tt") << "empty T_FMT_AMPM is the C form";
}

TEST(StrftimePicture, SelfReferenceStops) {
  const posix::StrftimeItems items{"%x", "%X", "%r", "%c"};
  EXPECT_EQ(posix::picture_from_strftime("%x", items), "");
  EXPECT_EQ(posix::picture_from_strftime("%d %r", items), "dd");
}

struct LocaleCase {
  const char* name;
  const char* short_date;
  const char* time;
  int32_t first_week;
  const char* sunday;
  const char* march;
  const char* short_march;
  const char* am;
};

// Debian 12's glibc 2.36 data.
constexpr LocaleCase kLocaleCases[] = {
    {"C", "MM/dd/yy", "HH:mm:ss", kFirstWeekHasFourDays, "Sunday", "March", "Mar", "AM"},
    {"POSIX", "MM/dd/yy", "HH:mm:ss", kFirstWeekHasFourDays, "Sunday", "March", "Mar", "AM"},
    {"en_US.UTF-8", "MM/dd/yyyy", "hh:mm:ss tt", kFirstWeekHoldsJanuaryFirst, "Sunday", "March", "Mar", "AM"},
    {"en_GB.UTF-8", "dd/MM/yy", "HH:mm:ss", kFirstWeekHasFourDays, "Sunday", "March", "Mar", "am"},
    {"de_DE.UTF-8", "dd.MM.yyyy", "HH:mm:ss", kFirstWeekHasFourDays, "Sonntag", "März", "Mär", ""},
    // ISO-8859-1 data, delivered in UTF-8 all the same.
    {"de_DE", "dd.MM.yyyy", "HH:mm:ss", kFirstWeekHasFourDays, "Sonntag", "März", "Mär", ""},
    {"fr_FR.UTF-8", "dd/MM/yyyy", "HH:mm:ss", kFirstWeekHasFourDays, "dimanche", "mars", "mars", ""},
    {"ja_JP.UTF-8", "yyyy年MM月dd日", "HH時mm分ss秒", kFirstWeekHoldsJanuaryFirst, "日曜日", "3月", " 3月", "午前"},
};

TEST(TimeLocale, InstalledLocales) {
  for (const LocaleCase& c : kLocaleCases) {
    SCOPED_TRACE(c.name);
    TimeLocale l;
    ASSERT_EQ(read_time_locale(c.name, &l), 1) << "not installed: scripts/test installs locales-all";
    EXPECT_EQ(l.short_date, c.short_date);
    EXPECT_EQ(l.long_date, "dddd, d MMMM yyyy");
    EXPECT_EQ(l.time, c.time);
    EXPECT_EQ(l.first_week_of_year, c.first_week);
    EXPECT_EQ(l.day_names[0], c.sunday);
    EXPECT_EQ(l.month_names[2], c.march);
    EXPECT_EQ(l.short_month_names[2], c.short_march);
    EXPECT_EQ(l.am, c.am);
  }
}

TEST(TimeLocale, EveryNameIsThere) {
  TimeLocale l;
  ASSERT_EQ(read_time_locale("C", &l), 1);
  const char* days[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  const char* months[12] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(l.day_names[i], days[i]);
    EXPECT_EQ(l.short_day_names[i], std::string(days[i], 3));
  }
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(l.month_names[i], months[i]);
    EXPECT_EQ(l.short_month_names[i], std::string(months[i], 3));
  }
  EXPECT_EQ(l.pm, "PM");
}

TEST(TimeLocale, MissingLocaleGivesTheCLocale) {
  TimeLocale l;
  l.short_date = "stale";
  EXPECT_EQ(read_time_locale("xx_NOWHERE.UTF-8", &l), 0);
  EXPECT_EQ(l.short_date, "MM/dd/yy");
  EXPECT_EQ(l.day_names[1], "Monday");
  EXPECT_EQ(read_time_locale("", &l), 1) << "an empty name is the C locale";
  EXPECT_EQ(read_time_locale(nullptr, &l), 1);
  EXPECT_EQ(l.short_date, "MM/dd/yy");
}

// Sets the locale variables for one test and puts back what was there.
class Environment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const char* v = getenv(kNames[i]);
      saved_[i] = v ? std::optional<std::string>(v) : std::nullopt;
      unsetenv(kNames[i]);
    }
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (saved_[i]) {
        setenv(kNames[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_TIME", "LANG"};
  std::optional<std::string> saved_[3];
};

TEST_F(Environment, PrecedenceOfTheVariables) {
  TimeLocale l;
  EXPECT_EQ(read_time_locale(&l), 1);
  EXPECT_EQ(l.short_date, "MM/dd/yy") << "nothing set: the C locale";
  setenv("LANG", "en_US.UTF-8", 1);
  read_time_locale(&l);
  EXPECT_EQ(l.short_date, "MM/dd/yyyy");
  setenv("LC_TIME", "de_DE.UTF-8", 1);
  read_time_locale(&l);
  EXPECT_EQ(l.short_date, "dd.MM.yyyy");
  setenv("LC_ALL", "fr_FR.UTF-8", 1);
  read_time_locale(&l);
  EXPECT_EQ(l.short_date, "dd/MM/yyyy");
  setenv("LC_ALL", "", 1);
  read_time_locale(&l);
  EXPECT_EQ(l.short_date, "dd.MM.yyyy") << "an empty variable counts as unset";
  setenv("LC_TIME", "xx_NOWHERE", 1);
  EXPECT_EQ(read_time_locale(&l), 0);
  EXPECT_EQ(l.short_date, "MM/dd/yy");
}

}  // namespace
}  // namespace lumra::sys
