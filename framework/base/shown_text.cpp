// A byte-wise walk: UTF-8 sequences are only decoded far enough to recognise the few code points
// that are escaped; names in other encodings pass through unchanged but for their C1 bytes.
#include "framework/base/shown_text.h"

#include <cstdio>
#include <cstring>

namespace lumra::base {
namespace {

bool is_bidi_control(unsigned code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

// Length and code point of the well-formed UTF-8 sequence of two to four bytes at `at`; 0 when
// none starts there.
size_t utf8_at(std::string_view s, size_t at, unsigned* code) {
  const auto b = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(s[i])); };
  const unsigned c = b(at);
  size_t length = 0;
  unsigned min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, *code = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, *code = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, *code = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((b(at + i) & 0xC0) != 0x80) return 0;
    *code = *code << 6 | (b(at + i) & 0x3F);
  }
  return *code >= min && *code <= 0x10FFFF ? length : 0;
}


// Calls put(bytes, length) for each piece of the shown form; stops when put returns false.
template <class Put>
void walk(std::string_view text, Put put) {
  char escape[16];
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    unsigned code = 0;
    const size_t length = c >= 0xC2 ? utf8_at(text, i, &code) : 0;
    bool going = true;
    if (length) {
      if ((code >= 0x80 && code <= 0x9F) || is_bidi_control(code)) {
        const int n = std::snprintf(escape, sizeof escape, "\\u%04X", code);
        going = put(escape, static_cast<size_t>(n));
      } else {
        going = put(text.data() + i, length);
      }
      i += length;
    } else {
      if (c < 32 || c == 127 || (c >= 0x80 && c <= 0x9F)) {
        const int n = std::snprintf(escape, sizeof escape, "\\x%02X", c);
        going = put(escape, static_cast<size_t>(n));
      } else {
        going = put(text.data() + i, 1);
      }
      ++i;
    }
    if (!going) return;
  }
}

}  // namespace

std::string shown_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  walk(text, [&](const char* p, size_t n) {
    out.append(p, n);
    return true;
  });
  return out;
}

size_t shown_text_into(std::string_view text, char* out, size_t capacity) {
  size_t used = 0;
  walk(text, [&](const char* p, size_t n) {
    if (used + n >= capacity) return false;
    std::memcpy(out + used, p, n);
    used += n;
    return true;
  });
  out[used] = '\0';
  return used;
}

}  // namespace lumra::base
