// Grammar and destinations of selection entries, kept apart from the archive command so the same
// rules serve extraction, listing, deletion and adding.
#include "framework/files/selection.h"

#include <cstring>

#include "framework/base/error.h"
#include "framework/files/path.h"
#include "framework/files/wildcard.h"

namespace lumra::files {
namespace {

bool starts_with_folder(std::string_view dir, std::string_view folder) {
  return dir.size() >= folder.size() && same_name(dir.substr(0, folder.size()), folder);
}

// A destination folder as adding stores it in member names, "\" ended ("" for the top).
std::string stored_folder(std::string_view d) {
  std::string out = stored_name_form(d);
  if (!out.empty()) out.push_back('\\');
  return out;
}

// Base name and extension of the pattern, matched against the name's.
bool name_part_matches(std::string_view pattern, std::string_view name) {
  const PathParts pp = split_path(pattern);
  const PathParts np = split_path(name);
  return member_name_match(pp.base + pp.ext, np.base + np.ext) == 0;
}

}  // namespace

SelectionEntry parse_selection_entry(std::string_view text) {
  SelectionEntry e{};
  e.text = std::string(text);
  if (text.empty() || (text[0] != '+' && text[0] != '-')) {
    e.kind = EntryKind::kPlain;
    e.selects = true;
    e.pattern = e.text;
    return e;
  }
  e.kind = text[0] == '+' ? EntryKind::kPlace : EntryKind::kBare;
  const std::string_view rest = text.substr(1);
  const size_t slash = rest.find('/');
  e.selects = slash != std::string_view::npos;
  e.pattern = std::string(rest.substr(0, slash));
  if (e.selects) e.destination = std::string(rest.substr(slash + 1));
  return e;
}

bool parse_selection(const char* list, int count, std::vector<SelectionEntry>* out) {
  out->clear();
  for (int i = 0; i < count; ++i) {
    const char* entry = list + static_cast<size_t>(i) * kEntrySize;
    const void* end = std::memchr(entry, 0, kEntrySize);
    if (!end) return base::failf("selection entry %d is not terminated within 256 bytes", i + 1);
    out->push_back(parse_selection_entry(std::string_view(entry, static_cast<const char*>(end) - entry)));
  }
  return true;
}

int selection_find(const std::vector<SelectionEntry>& entries, std::string_view name) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].selects && member_name_match(entries[i].pattern, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

int selection_find_whole(const std::vector<SelectionEntry>& entries, std::string_view name) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (member_name_match(entries[i].text, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool selection_selects_for_delete(const std::vector<SelectionEntry>& entries, std::string_view name) {
  for (const SelectionEntry& e : entries) {
    if (e.kind == EntryKind::kPlain) {
      if (member_name_match(e.pattern, name) == 0) return true;
      continue;
    }
    if (!e.selects) continue;
    const PathParts np = split_path(name);
    if (e.kind == EntryKind::kPlace && !e.destination.empty() && e.destination[0] == '+') {
      const std::string folder = stored_folder(std::string_view(e.destination).substr(1));
      if (starts_with_folder(np.dir, folder) && name_part_matches(e.pattern, name)) return true;
      continue;
    }
    const std::string folder = e.destination.empty() ? std::string() : stored_folder(e.destination);
    if (same_name(np.dir, folder) && name_part_matches(e.pattern, name)) return true;
  }
  return false;
}

std::string stored_name_form(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || is_separator(path[i])) {
      const std::string_view c = path.substr(start, i - start);
      if (!c.empty() && c != ".") {
        if (!out.empty()) out.push_back('\\');
        out.append(c);
      }
      start = i + 1;
    }
  }
  return out;
}

OutputName selection_output(const SelectionEntry& entry, int action, std::string_view name) {
  const PathParts np = split_path(name);
  const std::string bare = np.base + np.ext;
  OutputName out;
  if (entry.kind == EntryKind::kPlain) {
    out.relative = action == 3 ? bare : np.dir + bare;
  } else if (entry.kind == EntryKind::kBare || entry.destination.empty()) {
    out.relative = bare;
  } else if (entry.destination[0] == '+') {
    out.root = entry.destination.substr(1);
    out.relative = np.dir + bare;
  } else {
    out.root = entry.destination;
    out.relative = bare;
  }
  return out;
}

}  // namespace lumra::files
