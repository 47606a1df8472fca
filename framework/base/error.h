// Failure reasons for the framework's result codes.
// A failing call records one short reason and returns its failure value in one statement:
//   return fail("zip member name escapes the destination");
// The reason stays readable through last_error() until the next failure replaces it. It is kept
// in its shown form (shown_text.h): control characters and the like written as escapes.
#pragma once

#include <type_traits>

namespace lumra::base {

// Converts to the failure value of whatever the function returns: 0, false or nullptr.
struct Failure {
  template <class T, std::enable_if_t<std::is_arithmetic_v<T>, int> = 0>
  constexpr operator T() const { return T(0); }
  template <class T>
  constexpr operator T*() const { return nullptr; }
};

Failure fail(const char* reason);
Failure failf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The reason of the latest failure, or "" when none has been recorded since clear_error().
const char* last_error();
void clear_error();

}  // namespace lumra::base
