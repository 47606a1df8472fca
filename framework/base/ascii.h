// ASCII letter case without the C locale: names and extensions compare case-blind the way the
// framework's file names do ("LOGO.PNG" is "logo.png"), while bytes above 127 compare exactly.
#pragma once

#include <string_view>

namespace lumra::base {

inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when both texts have the same bytes once ASCII letters are folded to one case.
inline bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  }
  return true;
}

}  // namespace lumra::base
