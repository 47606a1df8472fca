// The operating system's character-set conversion between UTF-8 and Windows-1252, for the
// framework's edges that speak UTF-8 (window titles, typed text, fonts). The converters are opened
// on first use and kept here, not by the caller. Part of the system interface
// (platform/system/*.h), implemented once per operating system (platform/posix/ here).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumra::sys {

enum class Charset : uint8_t { kUtf8, kWindows1252 };

// Converts `in` and appends the result to *out, up to the first piece the system cannot convert:
// ill-formed input, a sequence cut off at the end, or a character the target set lacks. Returns
// how many bytes of `in` were converted (in.size() when nothing stopped it; otherwise the offset
// of that piece, which the caller replaces and skips as it sees fit), or -1 with nothing
// appended when the system has no converter between the two sets.
int64_t convert_charset(Charset from, Charset to, std::string_view in, std::string* out);

// Closes the converters opened so far; the next conversion opens them again.
void release_charset_converters();

}  // namespace lumra::sys
