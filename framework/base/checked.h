// Overflow-checked size arithmetic for readers of untrusted input.
// Each helper stores the result and returns true, or returns false when it would not fit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

template <class T>
[[nodiscard]] constexpr bool checked_add(T a, T b, T* out) {
  return !__builtin_add_overflow(a, b, out);
}

template <class T>
[[nodiscard]] constexpr bool checked_mul(T a, T b, T* out) {
  return !__builtin_mul_overflow(a, b, out);
}

// a * b + c
template <class T>
[[nodiscard]] constexpr bool checked_mad(T a, T b, T c, T* out) {
  T product{};
  return checked_mul(a, b, &product) && checked_add(product, c, out);
}

// Smallest power of two >= n (1 for n <= 1); false when it does not fit in 32 bits.
[[nodiscard]] constexpr bool next_power_of_two(uint64_t n, uint32_t* out) {
  uint64_t p = 1;
  while (p < n) p <<= 1;
  if (p > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(p);
  return true;
}

}  // namespace lumra::base
