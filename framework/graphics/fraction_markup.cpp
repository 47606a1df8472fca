// Numbers of the markup are compared, never used for arithmetic, so a long run of digits is
// simply held at a bound above any real fraction's parts.
#include "framework/graphics/fraction_markup.h"

#include <cstdint>

#include "framework/graphics/text.h"

namespace lumra::graphics {
namespace {

constexpr uint64_t kNumberBound = uint64_t{1} << 40;

bool digit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits from `at`; their count is the length, their value held at the bound.
size_t read_number(const char* text, size_t at, size_t length, uint64_t* value) {
  size_t n = 0;
  *value = 0;
  for (; at + n < length && digit(text[at + n]); ++n) {
    if (*value < kNumberBound) *value = *value * 10 + static_cast<uint64_t>(text[at + n] - '0');
  }
  return n;
}

bool fraction_at(const char* text, size_t mark, size_t length, Fraction* out) {
  uint64_t numerator = 0, denominator = 0;
  const size_t top = mark + 1;
  const size_t top_length = read_number(text, top, length, &numerator);
  const size_t slash = top + top_length;
  if (top_length == 0 || slash >= length || text[slash] != '/') return false;
  const size_t bottom = slash + 1;
  const size_t bottom_length = read_number(text, bottom, length, &denominator);
  if (bottom_length == 0 || numerator == 0 || denominator <= numerator) return false;
  *out = Fraction{mark, top, top_length, bottom, bottom_length, bottom + bottom_length};
  return true;
}

}  // namespace

bool find_fraction(const char* text, size_t from, size_t length, Fraction* out) {
  for (size_t i = from; i < length; ++i) {
    if (text[i] == kFractionMark && fraction_at(text, i, length, out)) return true;
  }
  return false;
}

}  // namespace lumra::graphics
