// The date and time parsers on hostile text, under both day-month orders. The text is exactly the
// input's bytes, so a read past its end is a sanitizer report. Each success must leave a record
// that passes its validity rule and formats without fault.
// Input: byte 0 picks the order (bit 0: month first) and the time precision and clock (bits 1-3);
// the rest is the text.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "framework/text/date_format.h"
#include "framework/text/date_locale.h"
#include "framework/text/date_parse.h"

namespace {

using namespace lumra::text;

void use_order(bool month_first_order) {
  static int current = -1;
  if (current == static_cast<int>(month_first_order)) return;
  lumra::sys::TimeLocale l;
  lumra::sys::read_time_locale("C", &l);
  l.short_date = month_first_order ? "MM/dd/yyyy" : "dd.MM.yyyy";
  l.time = "hh:mm:ss tt";
  date_locale_set(l);
  current = month_first_order;
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  use_order(control & 1);
  // A copy of exactly the text's length, so the sanitizer's redzone starts right after it.
  const size_t length = size - 1;
  std::unique_ptr<char[]> bytes(new char[length ? length : 1]);
  if (length) std::memcpy(bytes.get(), data + 1, length);
  const std::string_view text(bytes.get(), length);

  DateTime date{};
  date.hour = 7;
  date.millisecond = 999;
  if (parse_date(&date, text)) {
    check(date_valid(date));
    check(format_short_date(date) != nullptr && format_long_date(date) != nullptr);
  }
  check(date.hour == 7 && date.millisecond == 999);  // a date leaves the time alone

  DateTime time{};
  if (parse_time(&time, text)) {
    check(time_valid(time));
    const int precision = (control >> 1) & 3;
    check(format_time(time, precision, (control & 8) != 0)[0] != '\0');
  }
  DateTime duration{};
  if (parse_duration(&duration, text)) check(duration_valid(duration));

  PackedDate packed_date{};
  if (text_to_packed_date(text, &packed_date)) {
    DateTime back{};
    packed_date_to_record(packed_date, &back);
    check(date_valid(back));
  }
  PackedTime packed_time{};
  if (text_to_packed_time(text, &packed_time)) {
    DateTime back{};
    packed_time_to_record(packed_time, &back);
    check(time_valid(back));
  }
  return 0;
}
