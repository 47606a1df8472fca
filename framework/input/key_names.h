// Display names of input codes: "F1", "Alt+A", "Ctrl+Page Up", "Q". A name is at most
// kKeyNameMax characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::input {

inline constexpr size_t kKeyNameMax = 15;

// 1 and the name in `buffer` (at most size - 1 characters, NUL-terminated), or 0 and an empty
// buffer. Lookup order: the name table (named keys and function keys); a character the C
// library's isprint accepts, in upper case; "Alt+%c" for an Alt code (letters before digits);
// "Ctrl+%c" for a Ctrl code.
int key_name(int32_t code, char* buffer, size_t size);

}  // namespace lumra::input
