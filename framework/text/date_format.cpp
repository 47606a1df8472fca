// Formatting through the locale's pictures into code page 1252, then to OEM in place, as every
// framework text is kept. Result slots are strings, so no locale's names can overrun them.
#include "framework/text/date_format.h"

#include <cstdio>

#include "framework/text/date_locale.h"
#include "framework/text/date_picture.h"
#include "framework/text/oem.h"

namespace lumra::text {

DateFormatState g_date_format{};

namespace {

constexpr char kEmpty[] = "";
// Room for every usual result, so a slot's text stays where it was when it is rewritten.
constexpr size_t kSlotReserve = 80;

std::string* next_slot(std::string* ring, uint32_t* index) {
  *index = (*index + 1) & (kResultRing - 1);
  std::string* slot = &ring[*index];
  slot->reserve(kSlotReserve);
  return slot;
}

const char* finish(std::string* slot, int formatted) {
  if (!formatted) slot->clear();
  windows_to_oem(slot->data());  // in place: the slot keeps its storage
  return slot->c_str();
}

}  // namespace

const char* format_short_date(const DateTime& record) {
  if (!date_valid(record)) return kEmpty;
  std::string* slot = next_slot(g_date_format.short_dates, &g_date_format.short_date_index);
  const DateLocale& locale = date_locale();
  return finish(slot, format_date_picture(record, locale.short_date, locale, slot));
}

const char* format_long_date(const DateTime& record) {
  const DateLocale& locale = date_locale();
  std::string* slot = &g_date_format.long_date;
  return finish(slot, format_date_picture(record, locale.long_date, locale, slot));
}

const char* format_time(const DateTime& record, int precision, bool clock_24) {
  if (!time_valid(record)) return kEmpty;
  std::string* slot = next_slot(g_date_format.times, &g_date_format.time_index);
  const DateLocale& locale = date_locale();
  uint32_t flags = 0;
  if (clock_24) flags |= kTimeForce24HourFormat;
  if (precision == 0) flags |= kTimeNoSeconds;
  const int formatted =
      format_time_picture(record, flags, clock_24 ? locale.time_24 : locale.time, locale, slot);
  if (formatted && (precision == 2 || precision == 3)) {
    char fraction[8];
    if (precision == 2) {
      std::snprintf(fraction, sizeof fraction, ".%03d", record.millisecond);
    } else {
      std::snprintf(fraction, sizeof fraction, ".%01d", record.millisecond / 100);
    }
    *slot += fraction;
  }
  return finish(slot, formatted);
}

const char* format_time_24(const DateTime& record, int precision) { return format_time(record, precision, true); }

void date_format_reset() {
  for (std::string& s : g_date_format.short_dates) s.clear();
  for (std::string& s : g_date_format.times) s.clear();
  g_date_format.long_date.clear();
  g_date_format.short_date_index = 0;
  g_date_format.time_index = 0;
}

}  // namespace lumra::text
