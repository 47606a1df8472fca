// Windows (code page 1252) characters as Unicode, for the edges that take Unicode: FreeType's
// character maps and the UTF-8 family names of the system's font lookup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumra::graphics {

// The Unicode scalar value of a code page 1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) give the C1 controls of the same value, as Windows'
// own decoder does.
char32_t windows_code_point(uint8_t byte);

// The text as UTF-8.
std::string windows_to_utf8_text(std::string_view windows);

}  // namespace lumra::graphics
