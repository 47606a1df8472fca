// Packed DOS times against file times: the 1980 and 2107 clamps, and round trips in a zone with
// summer time, whose rules the tests set themselves so that they do not depend on the machine's.
#include "framework/files/dos_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace lumra::files {
namespace {

// Runs each test in Europe/Berlin (CET, CEST from the last Sunday of March to the last of October).
class DosTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  bool had_ = false;
  std::string old_;
};

// Seconds since 1970 of a UTC calendar time.
time_t utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return timegm(&t);
}

TEST_F(DosTime, TheZoneHasSummerTime) {
  std::tm local{};
  const time_t summer = utc(2021, 7, 15, 10, 0, 0);
  ASSERT_NE(localtime_r(&summer, &local), nullptr);
  ASSERT_EQ(local.tm_hour, 12) << "the zone database (Debian package tzdata) lacks Europe/Berlin";
  ASSERT_EQ(local.tm_isdst, 1);
}

TEST_F(DosTime, PacksLocalTimeWithEvenSecondsAndClampsTo1980And2107) {
  struct Case {
    const char* what;
    time_t t;
    uint32_t packed;
  };
  const Case cases[] = {
      {"winter, CET", utc(2021, 1, 15, 11, 34, 57), pack_dos_time(2021, 1, 15, 12, 34, 56)},
      {"summer, CEST", utc(2021, 7, 15, 10, 34, 56), pack_dos_time(2021, 7, 15, 12, 34, 56)},
      {"the first moment", utc(1979, 12, 31, 23, 0, 0), pack_dos_time(1980, 1, 1, 0, 0, 0)},
      {"time 0, as reproducible builds stamp", 0, pack_dos_time(1980, 1, 1, 0, 0, 0)},
      {"the last second of 1979", utc(1979, 12, 31, 22, 59, 59), pack_dos_time(1980, 1, 1, 0, 0, 0)},
      {"long before 1980", -2000000000, pack_dos_time(1980, 1, 1, 0, 0, 0)},
      {"the last moment", utc(2107, 12, 31, 22, 59, 59), pack_dos_time(2107, 12, 31, 23, 59, 58)},
      {"the first second of 2108", utc(2107, 12, 31, 23, 0, 0), pack_dos_time(2107, 12, 31, 23, 59, 58)},
      {"long after 2107", utc(2400, 6, 1, 0, 0, 0), pack_dos_time(2107, 12, 31, 23, 59, 58)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(dos_time_from_unix(c.t), c.packed);
  }
  const DosCalendar first = unpack_dos_time(dos_time_from_unix(0));
  EXPECT_EQ(first.year, 1980);
  EXPECT_EQ(first.month, 1);
  EXPECT_EQ(first.day, 1);
}

TEST_F(DosTime, RoundTripsKeepTheWallClockInSummerAndWinter) {
  const time_t moments[] = {
      utc(2021, 1, 15, 11, 34, 56),  // CET
      utc(2021, 7, 15, 10, 34, 56),  // CEST
      utc(2021, 3, 28, 0, 59, 58),   // 01:59:58 CET, the last even second before the change
      utc(2021, 3, 28, 1, 0, 0),     // 03:00:00 CEST, the first after it
      utc(1980, 1, 1, 0, 0, 0),      // 01:00 local on the first day
      utc(2107, 12, 31, 22, 59, 58), // 23:59:58 local on the last day
  };
  for (const time_t t : moments) {
    SCOPED_TRACE(t);
    const uint32_t packed = dos_time_from_unix(t);
    EXPECT_EQ(unix_from_dos_time(packed), t);
    EXPECT_EQ(dos_time_from_unix(unix_from_dos_time(packed)), packed);
  }
}

}  // namespace
}  // namespace lumra::files
