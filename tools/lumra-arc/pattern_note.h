// Selection patterns follow the DOS rules, where a "*" ends the comparison of a base name or an
// extension: "*zero.bin" selects every ".bin" member. Users of today's shells expect otherwise,
// and with deletion that costs them what they meant to keep, so lumra-arc says what such a
// pattern really selects before it acts. The matcher itself stays as it is.
#pragma once

#include <string>

namespace lumra::arc {

// Empty when nothing follows a "*" within the pattern's base name or extension; otherwise what
// the pattern selects, as one sentence without the pattern: "every member ending in \".bin\"".
// `things` names what is selected ("member" or "file").
std::string pattern_reach(const std::string& pattern, const char* things);

}  // namespace lumra::arc
