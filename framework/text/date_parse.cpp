// The date and time parsers. Every read goes through read_number on a view of the text (held to
// the text's end), so offsets that run past the end read as empty numbers instead of memory.
#include "framework/text/date_parse.h"

#include "framework/base/error.h"
#include "framework/text/date_locale.h"

namespace lumra::text {
namespace {

constexpr size_t kNone = std::string_view::npos;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The text up to its first NUL, as a C string would end.
std::string_view until_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

// The text from `at`, or nothing when `at` is past its end.
std::string_view from(std::string_view text, size_t at) {
  return at < text.size() ? text.substr(at) : std::string_view{};
}

size_t next_digit(std::string_view text, size_t at) {
  for (size_t i = at; i < text.size(); ++i) {
    if (is_digit(text[i])) return i;
  }
  return kNone;
}

// A year of fewer than four characters is two-digit: below 50 in this century, else the last.
uint16_t full_year(std::string_view year_text) {
  const std::string_view digits = year_text.substr(0, 4);
  size_t length = digits.size();
  while (length > 0 && static_cast<unsigned char>(digits[length - 1]) < 32) --length;
  int64_t year = read_number(digits, 4);
  if (length < 4) year += year < 50 ? 2000 : 1900;
  return static_cast<uint16_t>(year);
}

// One of day or month: two characters, or one when two read past `limit` ("35" as day is 3).
int64_t read_field(std::string_view text, int64_t limit, size_t* width) {
  int64_t value = read_number(text, 2);
  *width = 2;
  if (value > limit) {
    value = read_number(text, 1);
    *width = 1;
  }
  return value;
}

bool contains(std::string_view text, std::string_view a, std::string_view b) {
  return text.find(a) != kNone || text.find(b) != kNone;
}

// Reading shared by time and duration; 1 when it got as far as the minutes.
int read_clock(DateTime* r, std::string_view text, bool am_pm_rules) {
  r->hour = 25;
  r->minute = r->second = r->millisecond = 0;
  const size_t first = next_digit(text, 0);
  if (first == kNone) return base::fail("no digit in the time");
  const bool has_separator = text.find_first_of(kDateSeparators) != kNone;
  const bool am = contains(text, "AM", "am");
  const bool pm = !am && contains(text, "PM", "pm");
  const size_t n = text.size() - first;
  size_t width = n >= 4 ? 2 : n == 3 ? 1 : 0;  // one or two lone digits are minutes
  for (;;) {
    int64_t hour = read_number(from(text, first), static_cast<int>(width));
    if (am_pm_rules) {
      if (am || pm) {
        if (hour == 0 || hour > 12) return base::fail("an AM or PM hour must be 1 to 12");
        if (am && hour == 12) hour = 0;
        if (pm && hour < 12) hour += 12;
      } else if (hour >= 24 && width > 0) {
        width = 0;  // not an hour: the digits are minutes and seconds
        continue;
      }
    }
    r->hour = static_cast<uint16_t>(hour);
    const size_t minute_at = next_digit(text, first + width);
    if (minute_at == kNone) return base::fail("no minutes in the time");
    r->minute = static_cast<uint16_t>(read_number(from(text, minute_at), 2));
    // A lone last digit in a run without separators means the hour took one digit too many.
    const auto lone_last_digit = [&](size_t at) { return text.size() - at == 1 && !has_separator; };
    const size_t second_at = next_digit(text, minute_at + 2);
    if (second_at == kNone) return 1;
    if (lone_last_digit(second_at)) {
      if (width == 0) return 1;
      --width;
      continue;
    }
    r->second = static_cast<uint16_t>(read_number(from(text, second_at), 2));
    const size_t fraction_at = next_digit(text, second_at + 2);
    if (fraction_at == kNone) return 1;
    if (lone_last_digit(fraction_at)) {
      if (width == 0) return 1;
      --width;
      continue;
    }
    r->millisecond = static_cast<uint16_t>(read_number(from(text, fraction_at), 2));
    return 1;
  }
}

}  // namespace

bool month_first(std::string_view picture) {
  const size_t m = picture.find('M'), d = picture.find('d');
  // A missing letter stands before everything.
  const int64_t month_at = m == kNone ? -1 : static_cast<int64_t>(m);
  const int64_t day_at = d == kNone ? -1 : static_cast<int64_t>(d);
  return month_at < day_at;
}

int parse_date(DateTime* r, std::string_view text) {
  r->year = r->month = r->day_of_week = r->day = 0;
  text = until_nul(text);
  const size_t first = next_digit(text, 0);
  if (first == kNone) return base::fail("no digit in the date");
  const std::string_view t = text.substr(first);
  const bool by_month = month_first(date_locale().short_date);
  const int64_t first_limit = by_month ? 12 : 31, second_limit = by_month ? 31 : 12;

  int64_t first_value = 0, second_value = 0;
  size_t year_at = 0;
  const size_t first_end = t.find_first_of(kDateSeparators);
  if (first_end == kNone) {
    // Digits only ("010515"): two each for the first two fields, the rest the year.
    first_value = read_number(t, 2);
    second_value = read_number(from(t, 2), 2);
    year_at = 4;
  } else {
    const size_t a = first_end;
    size_t second_end = t.find_first_of(kDateSeparators, a + 1);
    if (second_end == kNone) second_end = t.size();
    const size_t b = second_end - (a + 1);
    const size_t year_shift = b == 2 && second_end < t.size() ? 1 : 0;
    const size_t separator_skip = a == 2 ? 1 : 0;
    size_t first_width = 0, second_width = 0;
    first_value = read_field(t, first_limit, &first_width);
    second_value = read_field(from(t, first_width + separator_skip), second_limit, &second_width);
    year_at = first_width + second_width + separator_skip + year_shift;
  }
  r->day = static_cast<uint16_t>(by_month ? second_value : first_value);
  r->month = static_cast<uint16_t>(by_month ? first_value : second_value);
  r->year = full_year(from(t, year_at));
  return date_valid(*r) ? 1 : base::fail("not a valid date");
}

int parse_time(DateTime* record, std::string_view text) {
  if (!read_clock(record, until_nul(text), true)) return 0;
  return time_valid(*record) ? 1 : base::fail("not a valid time");
}

int parse_duration(DateTime* record, std::string_view text) {
  if (!read_clock(record, until_nul(text), false)) return 0;
  return duration_valid(*record) ? 1 : base::fail("not a valid duration");
}

int text_to_packed_date(std::string_view text, PackedDate* out) {
  DateTime r{};
  if (!parse_date(&r, text)) return 0;
  out->year = r.year;
  out->day = static_cast<uint8_t>(r.day);
  out->month = static_cast<uint8_t>(r.month);
  return 1;
}

int text_to_packed_time(std::string_view text, PackedTime* out) {
  DateTime r{};
  if (!parse_time(&r, text)) return 0;
  out->hour = static_cast<uint8_t>(r.hour);
  out->minute = static_cast<uint8_t>(r.minute);
  out->second = static_cast<uint8_t>(r.second);
  out->hundredths = static_cast<uint8_t>(r.millisecond / 10);
  return 1;
}

}  // namespace lumra::text
