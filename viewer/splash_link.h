// The splash link: the first "link:" entry of a package's objects_data.js, looked for in the
// file's first 1023 bytes only, taken when its quoted text is an http:// address.
#pragma once

#include <cstddef>
#include <string>

namespace lumra::viewer {

// The link in `window` (the bytes read, at most 1023 count; the text ends at the first NUL as
// well): after the first "link:" the text between the next two double quotes, when it begins
// with "http://" (this case only). Empty when there is none.
std::string link_in_window(const char* window, size_t size);

// The link of the data file at `path`; empty when the file is missing, cannot be read or holds
// no link.
std::string read_splash_link(const char* path);

}  // namespace lumra::viewer
