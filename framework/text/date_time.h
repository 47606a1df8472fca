// The date-time record (the layout of the system's SYSTEMTIME), its validity rules, the packed
// date and time records of the run-time library and the conversions between them, and the
// bounded number reader the date and time parsers share.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumra::text {

struct DateTime {
  uint16_t year;
  uint16_t month;        // 1-12
  uint16_t day_of_week;  // 0-6, Sunday 0
  uint16_t day;          // 1-31
  uint16_t hour;         // 0-23 (a duration's hour is unbounded)
  uint16_t minute;
  uint16_t second;
  uint16_t millisecond;
};
static_assert(sizeof(DateTime) == 16);

// Run-time library forms, fields in their order.
struct PackedDate {
  uint16_t year;
  uint8_t day;
  uint8_t month;
};
static_assert(sizeof(PackedDate) == 4);

struct PackedTime {
  uint8_t minute;
  uint8_t hour;
  uint8_t hundredths;
  uint8_t second;
};
static_assert(sizeof(PackedTime) == 4);

// Year not 0, month 1-12, day 1 to the month's length, day of week below 7. February has 29
// days in every year divisible by 4: there is no century rule, so 29 February 1900 is valid.
bool date_valid(const DateTime& r);
// Hour below 24, minute and second below 60, millisecond below 1000.
bool time_valid(const DateTime& r);
// As time_valid with any hour.
bool duration_valid(const DateTime& r);
// date_valid or time_valid.
bool record_valid(const DateTime& r);

// Days in `month` of `year` by the rule above; 0 for a month outside 1-12.
int month_length(int year, int month);

// The decimal number that starts `text`'s first n characters (n is held to 0-10; a text shorter
// than n is read to its end): "5." reads 5, "" and ".5" read 0. Never reads past the text.
int64_t read_number(std::string_view text, int n);

// Record from packed forms; the record is zeroed first. A packed time's hundredths become
// milliseconds (× 10).
void packed_date_to_record(const PackedDate& packed, DateTime* record);
void packed_time_to_record(const PackedTime& packed, DateTime* record);

}  // namespace lumra::text
