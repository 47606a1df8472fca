// Turns a strftime format (the C library's locale items D_FMT, T_FMT ...) into the picture form of
// platform/system/locale.h. Conversions with no picture (%Z, %j, %U ...) are left out; literal
// text that holds letters is quoted. Internal to the POSIX system services (and their tests).
#pragma once

#include <string>
#include <string_view>

namespace lumra::sys::posix {

// The locale items that %x, %X, %r and %c stand for.
struct StrftimeItems {
  std::string_view date;       // D_FMT
  std::string_view time;       // T_FMT
  std::string_view time_ampm;  // T_FMT_AMPM; empty means "%I:%M:%S %p"
  std::string_view date_time;  // D_T_FMT
};

// Leading and trailing spaces (often left by a dropped %Z) are trimmed from the result.
std::string picture_from_strftime(std::string_view format, const StrftimeItems& items);

}  // namespace lumra::sys::posix
