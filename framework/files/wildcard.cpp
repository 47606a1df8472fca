// Matching is byte-wise with ASCII case folding: archive names are OEM or UTF-8 bytes, and folding
// anything beyond ASCII would make two different names on a case-sensitive disk collide.
#include "framework/files/wildcard.h"

#include "framework/files/path.h"

namespace lumra::files {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view extension_or_dot(const std::string& ext) { return ext.empty() ? std::string_view(".") : ext; }

}  // namespace

int wildcard_compare(std::string_view pattern, std::string_view text) {
  size_t p = 0;
  size_t t = 0;
  while (p < pattern.size() || t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') return 0;
    if (p < pattern.size() && pattern[p] == '?') {
      // DOS lets a "?" stand for nothing once the name has ended.
      ++p;
      if (t < text.size()) ++t;
      continue;
    }
    if (p >= pattern.size() || t >= text.size()) return 1;
    if (upper(pattern[p]) != upper(text[t])) return 1;
    ++p;
    ++t;
  }
  return 0;
}

bool dos_name_match(std::string_view pattern, std::string_view name) {
  const PathParts pp = split_path(pattern);
  const PathParts np = split_path(name);
  return wildcard_compare(pp.base, np.base) == 0 &&
         wildcard_compare(extension_or_dot(pp.ext), extension_or_dot(np.ext)) == 0;
}

int member_name_match(std::string_view pattern, std::string_view name) {
  const PathParts pp = split_path(pattern);
  const PathParts np = split_path(name);
  if (!pp.drive.empty() && !same_name(pp.drive, np.drive)) return 1;
  const bool root_accepts_bare = pp.dir.size() == 1 && is_separator(pp.dir[0]) && np.dir.empty();
  if (!root_accepts_bare && !pp.dir.empty() && !same_name(pp.dir, np.dir)) return 1;
  if (wildcard_compare(pp.base, np.base) != 0) return 1;
  return wildcard_compare(extension_or_dot(pp.ext), extension_or_dot(np.ext)) == 0 ? 0 : 1;
}

}  // namespace lumra::files
