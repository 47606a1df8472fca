// Code page 1252 differs from Latin-1 only in 0x80..0x9F, where it places typographic signs;
// that block is the whole table.
#include "framework/graphics/windows_chars.h"

namespace lumra::graphics {
namespace {

constexpr char16_t kBlock80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

}  // namespace

char32_t windows_code_point(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kBlock80[byte - 0x80] : byte;
}

std::string windows_to_utf8_text(std::string_view windows) {
  std::string out;
  out.reserve(windows.size());
  for (const char c : windows) {
    const char32_t cp = windows_code_point(static_cast<uint8_t>(c));
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace lumra::graphics
