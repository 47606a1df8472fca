// Text from outside (member names of archives, file names, anything quoted in a failure reason)
// as it may be shown to a person: whatever a terminal would act on instead of printing is written
// as an escape, so that a name cannot move the cursor, retitle the window, hide text or reverse
// what follows it. Every failure reason (error.h) passes through it.
#pragma once

#include <string>
#include <string_view>

namespace lumra::base {

// Bytes below 32 and 127 become "\xNN"; the C1 controls (U+0080-U+009F, in UTF-8 or as single
// bytes 0x80-0x9F that are no part of a UTF-8 character) "\u0085" or "\x9B"; the bidirectional
// controls (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069) "\u202E". Everything else is
// kept as it is, other bytes that are not UTF-8 included.
std::string shown_text(std::string_view text);
// The same into a fixed buffer, without allocating: as much as fits whole escapes included,
// always zero-terminated (capacity > 0). Returns the length written.
size_t shown_text_into(std::string_view text, char* out, size_t capacity);

}  // namespace lumra::base
