// Splitting follows the drive/directory/base/extension rules every file service and the archive
// command share, so that a pattern and a name are always taken apart the same way.
#include "framework/files/path.h"

namespace lumra::files {
namespace {

char fold(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c == '\\') return '/';
  return c;
}

}  // namespace

PathParts split_path(std::string_view path) {
  PathParts parts;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = std::string(path.substr(0, 2));
    path.remove_prefix(2);
  }
  size_t last_sep = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (is_separator(path[i])) last_sep = i;
  }
  std::string_view name = path;
  if (last_sep != std::string_view::npos) {
    parts.dir = std::string(path.substr(0, last_sep + 1));
    name = path.substr(last_sep + 1);
  }
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    parts.base = std::string(name);
  } else {
    parts.base = std::string(name.substr(0, dot));
    parts.ext = std::string(name.substr(dot));
  }
  return parts;
}

std::string join_path(std::string_view drive, std::string_view dir, std::string_view base, std::string_view ext,
                      char separator) {
  std::string out;
  out.reserve(drive.size() + dir.size() + base.size() + ext.size() + 1);
  out.append(drive);
  out.append(dir);
  if (!dir.empty() && !is_separator(dir.back())) out.push_back(separator);
  out.append(base);
  out.append(ext);
  return out;
}

std::string with_separator(std::string_view path, char separator) {
  std::string out(path);
  for (char& c : out) {
    if (is_separator(c)) c = separator;
  }
  return out;
}

std::string system_path(std::string_view path) { return with_separator(path, '/'); }

bool has_wildcards(std::string_view path) { return path.find_first_of("*?") != std::string_view::npos; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace lumra::files
