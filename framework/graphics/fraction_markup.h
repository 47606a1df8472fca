// The fraction markup of system-font texts: byte 20, a numerator, "/", a denominator (decimal
// digits, both non-zero, the denominator the larger) is drawn as a small raised numerator, an
// italic slash and a small lowered denominator. Anything else after byte 20 is not markup.
#pragma once

#include <cstddef>

namespace lumra::graphics {

// Offsets into the text.
struct Fraction {
  size_t mark;         // the byte 20
  size_t numerator;    // its first digit
  size_t numerator_length;
  size_t denominator;  // its first digit
  size_t denominator_length;
  size_t end;          // just past the denominator
};

// The first fraction in text[from, length); false when there is none.
bool find_fraction(const char* text, size_t from, size_t length, Fraction* out);

}  // namespace lumra::graphics
