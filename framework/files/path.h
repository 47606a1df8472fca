// Paths taken apart into drive, directory, base name and extension, and joined again, and the
// form the system is given (system_path). Both "\" and "/" separate components on input. A
// leading letter and ":" is a drive: Linux has none, but member names and patterns may carry one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumra::files {

// What this platform allows: PATH_MAX bytes including the terminating NUL, NAME_MAX per name.
inline constexpr size_t kMaxPath = 4096;
inline constexpr size_t kMaxName = 256;

struct PathParts {
  std::string drive;  // "C:" or empty
  std::string dir;    // up to and including the last separator
  std::string base;
  std::string ext;    // from the last "." of the last component, dot included
};

inline bool is_separator(char c) { return c == '/' || c == '\\'; }

PathParts split_path(std::string_view path);

// Drive + directory + base + extension; `separator` goes after a non-empty directory that does
// not end in one.
std::string join_path(std::string_view drive, std::string_view dir, std::string_view base, std::string_view ext,
                      char separator = '/');
inline std::string join_path(const PathParts& p, char separator = '/') {
  return join_path(p.drive, p.dir, p.base, p.ext, separator);
}

// Every "\" and "/" turned into `separator`.
std::string with_separator(std::string_view path, char separator);

// The one rule for every path the framework hands to the system, applied here only: the bytes
// the caller gave, unchanged but for "\" becoming "/". Names are not converted between
// character sets, so a name read from a folder or typed by the user opens the same file when
// handed back.
std::string system_path(std::string_view path);

bool has_wildcards(std::string_view path);

// ASCII case-blind comparison that also takes "\" and "/" as equal.
bool same_name(std::string_view a, std::string_view b);

}  // namespace lumra::files
