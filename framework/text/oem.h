// Conversion between the framework's OEM texts (code page 437 plus a few code points of our own) and
// Windows texts (code page 1252), and UTF-8 <-> 1252 for the edges that speak UTF-8 (SDL, FreeType).
// Every OEM byte maps to exactly one Windows byte. Single-threaded, like the rest of the framework.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/base/dynarray.h"

namespace lumra::text {

inline constexpr int kAnsiCharset = 0;     // ANSI_CHARSET
inline constexpr int kDefaultCharset = 1;  // DEFAULT_CHARSET

// One cached Windows-to-OEM table: the OEM code for each Windows code, 0 where no OEM code
// produces it. The 260-byte layout is the cache's record format.
struct ReverseTable {
  int32_t language;
  uint8_t oem[256];
};
static_assert(sizeof(ReverseTable) == 260);

struct TextState {
  int32_t language;               // the language setting; 0 at start, nothing here changes it
  base::DynArray reverse_tables;  // ReverseTable records, set up on the first Windows-to-OEM call
  ReverseTable* current;          // the record used last; null when the cache is empty
};
extern TextState g_text;

// The system's own OEM-to-Windows mapping of one byte (code page 437 to 1252, best fit where 1252
// lacks the character), before the framework's fix-ups.
uint8_t system_oem_to_windows(uint8_t oem);

// One byte through the full conversion (system mapping, then the fix-ups; or the reverse table).
uint8_t oem_char_to_windows(uint8_t oem);
uint8_t windows_char_to_oem(uint8_t windows);

// Converts the NUL-terminated OEM text at source into destination: exactly as many bytes as the
// source plus the NUL. Destination may be the source itself; no other overlap. Null does nothing.
void oem_to_windows(char* destination, const char* source);

// With no source, or source == destination, converts destination in place through a temporary
// copy from the framework heap; otherwise as above. 1 on success; 0 when the copy could not be
// allocated (the text is left as it was) or destination is null.
int oem_to_windows_in_place(char* destination, const char* source = nullptr);

// Converts the NUL-terminated Windows text at source (or at destination when source is null) into
// destination byte for byte and terminates it. A Windows code no OEM code produces becomes a
// space; codes below 32 pass unchanged. Should the cache not grow, the table is built uncached
// for this call, so the conversion itself cannot fail.
void windows_to_oem(char* destination, const char* source = nullptr);

// The same over whole strings, embedded NULs included (NUL maps to NUL both ways).
std::string oem_to_windows(std::string_view oem);
std::string windows_to_oem(std::string_view windows);

// Character set to ask fonts for: DEFAULT_CHARSET; there is one OEM code page for every setting.
int font_charset();

// The multiplication and division signs for texts shown in a font of `charset`, as OEM bytes:
// OEM 158 and 246 (× and ÷ once converted) for ANSI_CHARSET and DEFAULT_CHARSET. Any other
// character set gets ASCII 'x' and '/', which read the same in every font set. Null out: nothing.
void arithmetic_symbols(int charset, char out[2]);

// Frees the reverse table cache and closes the system's UTF-8 converters; later calls rebuild them.
void text_cleanup();
// For tests: text_cleanup() and the language setting back to 0.
void text_reset();

// UTF-8 -> Windows-1252. Characters 1252 lacks become '?', and so does each maximal ill-formed
// piece of invalid UTF-8 (overlongs, surrogates, stray or missing continuation bytes). U+0081,
// U+008D, U+008F, U+0090 and U+009D give the bytes 0x81 ... that 1252 leaves undefined, so every
// byte survives a round trip through windows_to_utf8. 1 on success; 0 when the system offers no
// CP1252 converter, and then every non-ASCII character in `out` is '?'.
int utf8_to_windows(std::string_view utf8, std::string* out);
std::string utf8_to_windows(std::string_view utf8);

// Windows-1252 -> UTF-8. The undefined bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D become U+0081 ... (as
// Windows' own decoder does). 1 on success; 0 when the system offers no CP1252 converter, and
// then every non-ASCII byte in `out` is U+FFFD.
int windows_to_utf8(std::string_view windows, std::string* out);
std::string windows_to_utf8(std::string_view windows);

}  // namespace lumra::text
