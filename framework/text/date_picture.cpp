// The picture formatter. A run of one picture letter is one field; runs longer than the longest
// form act as the longest (ddddd as dddd, yyy and yyyyy as yyyy); y alone is the year's last digit. Without seconds, each seconds field is
// dropped together with the literal text between it and the field before it ("h:mm:ss tt" gives
// "h:mm tt").
#include "framework/text/date_picture.h"

#include <cstdio>

namespace lumra::text {
namespace {

void append_number(std::string* out, int value, int min_digits) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", min_digits, value);
  out->append(digits);
}

bool gregorian_date(const DateTime& r) {
  if (r.year == 0 || r.month < 1 || r.month > 12 || r.day == 0) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (r.year % 4 == 0 && r.year % 100 != 0) || r.year % 400 == 0;
  const int length = r.month == 2 && leap ? 29 : kDays[r.month - 1];
  return r.day <= length;
}

// Walks `picture`, handing each run of a letter in `letters` to `field` (letter, run length) and
// everything else, unquoted, to `literal`.
template <class Field, class Literal>
void walk_picture(std::string_view picture, std::string_view letters, Field field, Literal literal) {
  size_t i = 0;
  bool quoted = false;
  while (i < picture.size()) {
    const char c = picture[i];
    if (c == '\'') {
      if (i + 1 < picture.size() && picture[i + 1] == '\'') {
        literal('\'');
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    if (quoted || letters.find(c) == std::string_view::npos) {
      literal(c);
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    field(c, run);
    i += run;
  }
}

}  // namespace

int day_of_week(int year, int month, int day) {
  // Sakamoto's method: month offsets of a year that starts on Sunday, with January and February
  // counted in the year before so the leap day falls at its end.
  static constexpr int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[(month - 1) % 12] + day) % 7;
}

int format_date_picture(const DateTime& r, std::string_view picture, const DateLocale& names,
                        std::string* out) {
  out->clear();
  if (!gregorian_date(r)) return 0;
  const int weekday = day_of_week(r.year, r.month, r.day);
  walk_picture(
      picture, "dMy",
      [&](char letter, size_t run) {
        if (letter == 'd') {
          if (run <= 2) append_number(out, r.day, static_cast<int>(run));
          else *out += run == 3 ? names.short_day_names[weekday] : names.day_names[weekday];
        } else if (letter == 'M') {
          if (run <= 2) append_number(out, r.month, static_cast<int>(run));
          else *out += run == 3 ? names.short_month_names[r.month - 1] : names.month_names[r.month - 1];
        } else if (run == 1) {
          append_number(out, r.year % 10, 1);  // the last digit only
        } else if (run == 2) {
          append_number(out, r.year % 100, 2);
        } else {
          append_number(out, r.year, 4);
        }
      },
      [&](char c) { out->push_back(c); });
  return 1;
}

int format_time_picture(const DateTime& r, uint32_t flags, std::string_view picture,
                        const DateLocale& names, std::string* out) {
  out->clear();
  if (!time_valid(r)) return 0;
  const bool force24 = (flags & kTimeForce24HourFormat) != 0;
  const bool no_seconds = (flags & kTimeNoSeconds) != 0;
  const std::string& marker = r.hour < 12 ? names.am : names.pm;
  size_t after_last_field = 0;  // where the text since the last field starts
  walk_picture(
      picture, "hHmst",
      [&](char letter, size_t run) {
        const int digits = run >= 2 ? 2 : 1;
        switch (letter) {
          case 'h':
            if (force24) {
              append_number(out, r.hour, digits);
            } else {
              append_number(out, r.hour % 12 == 0 ? 12 : r.hour % 12, digits);
            }
            break;
          case 'H': append_number(out, r.hour, digits); break;
          case 'm': append_number(out, r.minute, digits); break;
          case 's':
            if (no_seconds) {
              out->resize(after_last_field);  // the separator before the seconds goes too
              return;
            }
            append_number(out, r.second, digits);
            break;
          default:  // 't'
            if (run == 1) {
              if (!marker.empty()) out->push_back(marker[0]);
            } else {
              *out += marker;
            }
            break;
        }
        after_last_field = out->size();
      },
      [&](char c) { out->push_back(c); });
  return 1;
}

}  // namespace lumra::text
