// POSIX time locale: the LC_TIME items of the C library (nl_langinfo_l on a locale object, so the
// program's own locale is never switched), pictures made from D_FMT and T_FMT, and the names
// converted from the locale's character set to UTF-8. The C library has no long-date item.
#include "platform/system/locale.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/posix/strftime_picture.h"

namespace lumra::sys {
namespace {

constexpr const char* kLongDatePicture = "dddd, d MMMM yyyy";

// A locale object over LC_TIME and LC_CTYPE of one name: LC_CTYPE tells the character set the
// LC_TIME texts of that locale are written in.
struct LocaleHandle {
  locale_t locale = static_cast<locale_t>(nullptr);
  explicit LocaleHandle(const char* name)
      : locale(newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))) {}
  ~LocaleHandle() {
    if (locale) freelocale(locale);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;
};

struct Converter {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

bool is_utf8_or_ascii(std::string_view codeset) {
  return codeset == "UTF-8" || codeset == "utf8" || codeset == "ANSI_X3.4-1968" || codeset == "ASCII";
}

// Bytes the locale's character set cannot decode become '?', one each.
std::string to_utf8(const char* text, Converter* converter) {
  if (!text) return {};
  if (converter->cd == reinterpret_cast<iconv_t>(-1)) return text;
  iconv(converter->cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  char* in = const_cast<char*>(text);
  size_t in_left = std::strlen(text);
  char buffer[256];
  while (in_left > 0) {
    char* at = buffer;
    size_t room = sizeof(buffer);
    const size_t r = iconv(converter->cd, &in, &in_left, &at, &room);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(at - buffer));
    if (r == static_cast<size_t>(-1) && error != E2BIG) {
      out.push_back('?');
      ++in;
      --in_left;
    }
  }
  return out;
}

int32_t first_week_of_year(locale_t locale) {
#ifdef __GLIBC__
  // glibc keeps the least number of days the first week must have in this year.
  const char* item = nl_langinfo_l(_NL_TIME_WEEK_1STWEEK, locale);
  const int days = item ? static_cast<unsigned char>(item[0]) : 1;
  if (days >= 7) return kFirstWeekIsFirstFullWeek;
  if (days >= 4) return kFirstWeekHasFourDays;
#else
  (void)locale;
#endif
  return kFirstWeekHoldsJanuaryFirst;
}

void read_items(locale_t locale, TimeLocale* out) {
  Converter converter;
  const char* codeset = nl_langinfo_l(CODESET, locale);
  if (codeset && !is_utf8_or_ascii(codeset)) converter.cd = iconv_open("UTF-8", codeset);
  const auto item = [&](nl_item i) { return to_utf8(nl_langinfo_l(i, locale), &converter); };

  const std::string date = item(D_FMT), time = item(T_FMT), time_ampm = item(T_FMT_AMPM),
                    date_time = item(D_T_FMT);
  const posix::StrftimeItems items{date, time, time_ampm, date_time};
  out->short_date = posix::picture_from_strftime(date, items);
  out->long_date = kLongDatePicture;
  out->time = posix::picture_from_strftime(time, items);
  out->first_week_of_year = first_week_of_year(locale);
  static constexpr nl_item kDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  static constexpr nl_item kShortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                            ABDAY_5, ABDAY_6, ABDAY_7};
  static constexpr nl_item kMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static constexpr nl_item kShortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,
                                               ABMON_5, ABMON_6, ABMON_7, ABMON_8,
                                               ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  for (int i = 0; i < 7; ++i) {
    out->day_names[i] = item(kDays[i]);
    out->short_day_names[i] = item(kShortDays[i]);
  }
  for (int i = 0; i < 12; ++i) {
    out->month_names[i] = item(kMonths[i]);
    out->short_month_names[i] = item(kShortMonths[i]);
  }
  out->am = item(AM_STR);
  out->pm = item(PM_STR);
}

// The C library picks a category's locale from the first non-empty of these.
const char* environment_time_locale() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "C";
}

}  // namespace

int read_time_locale(const char* name, TimeLocale* out) {
  *out = TimeLocale{};
  LocaleHandle named(name && *name ? name : "C");
  if (named.locale) {
    read_items(named.locale, out);
    return 1;
  }
  LocaleHandle c_locale("C");
  if (c_locale.locale) {
    read_items(c_locale.locale, out);
  } else {
    out->short_date = "MM/dd/yy";  // the C locale's own, should even it be missing
    out->long_date = kLongDatePicture;
    out->time = "HH:mm:ss";
  }
  return 0;
}

int read_time_locale(TimeLocale* out) { return read_time_locale(environment_time_locale(), out); }

}  // namespace lumra::sys
