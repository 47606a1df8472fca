// Validity rules, packed-record conversions and the number reader.
#include "framework/text/date_time.h"

namespace lumra::text {

int month_length(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && year % 4 == 0) return 29;
  return kDays[month - 1];
}

bool date_valid(const DateTime& r) {
  return r.year != 0 && r.month >= 1 && r.month <= 12 && r.day != 0 &&
         r.day <= month_length(r.year, r.month) && r.day_of_week < 7;
}

bool time_valid(const DateTime& r) { return r.hour < 24 && duration_valid(r); }

bool duration_valid(const DateTime& r) { return r.minute < 60 && r.second < 60 && r.millisecond < 1000; }

bool record_valid(const DateTime& r) { return date_valid(r) || time_valid(r); }

int64_t read_number(std::string_view text, int n) {
  constexpr int kMaxDigits = 10;
  if (n < 0) n = 0;
  if (n > kMaxDigits) n = kMaxDigits;
  const size_t end = text.size() < static_cast<size_t>(n) ? text.size() : static_cast<size_t>(n);
  int64_t value = 0;
  for (size_t i = 0; i < end && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

void packed_date_to_record(const PackedDate& packed, DateTime* record) {
  *record = DateTime{};
  record->year = packed.year;
  record->month = packed.month;
  record->day = packed.day;
}

void packed_time_to_record(const PackedTime& packed, DateTime* record) {
  *record = DateTime{};
  record->hour = packed.hour;
  record->minute = packed.minute;
  record->second = packed.second;
  record->millisecond = static_cast<uint16_t>(packed.hundredths * 10);
}

}  // namespace lumra::text
