// DOS wildcard rules, applied by us since Linux has no wildcard engine in its directory search:
// "*" ends the comparison with a match, "?" takes any one character (or the end of the name),
// letters compare without case. A name is matched as base name and extension separately.
#pragma once

#include <string_view>

namespace lumra::files {

// 0 = match, 1 = no match.
int wildcard_compare(std::string_view pattern, std::string_view text);

// Base name and extension of `name` (a bare file name) against those of `pattern`, a missing
// extension counting as "."; so "*.*" takes every name and "*" or "*." only names without one.
bool dos_name_match(std::string_view pattern, std::string_view name);

// The archive command's member matcher: the pattern's drive, if any, and its directory, if any,
// must equal the name's (whole texts, no wildcards; a pattern directory of "\" also accepts a name
// without one), then base name and extension as above. 0 = match, nonzero = no match.
int member_name_match(std::string_view pattern, std::string_view name);

}  // namespace lumra::files
