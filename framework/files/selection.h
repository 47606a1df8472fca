// Selection lists: entries of exactly 256 bytes, each a zero-terminated selection pattern.
//   P          members matching P (read: stored name, or bare name for action 3)
//   +P/D       members matching P, placed under D ("+D": D plus the member's own folders)
//   -P/D       members matching P, written under their bare names in the current folder
// "+" or "-" without "/" selects nothing. In "+"/"-" entries the first "/" ends the pattern, so
// their patterns take "\" as folder separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumra::files {

inline constexpr size_t kEntrySize = 256;

enum class EntryKind { kPlain, kPlace, kBare };

struct SelectionEntry {
  std::string text;  // the entry whole
  EntryKind kind;
  bool selects;             // false for "+" or "-" without "/"
  std::string pattern;
  std::string destination;  // after the "/": empty, "+folder" or "folder"
};

// Parses `count` entries of `list` (count × 256 bytes). False (with a reason) when an entry lacks
// its terminating zero.
bool parse_selection(const char* list, int count, std::vector<SelectionEntry>* out);
SelectionEntry parse_selection_entry(std::string_view text);

// Index of the first entry whose pattern matches `name`, -1 when none (for reading).
int selection_find(const std::vector<SelectionEntry>& entries, std::string_view name);
// Index of the first entry that, taken whole as a pattern, matches `name` (listing, zip deletion).
int selection_find_whole(const std::vector<SelectionEntry>& entries, std::string_view name);
// Native deletion: "+"/"-" entries match under their destination's folder as adding stores it
// ("+D": that folder and everything below it); plain entries as for reading.
bool selection_selects_for_delete(const std::vector<SelectionEntry>& entries, std::string_view name);

// A path as adding stores it: no drive, no leading separator, no "." folders, "\" separated.
std::string stored_name_form(std::string_view path);

// Where a member read by `entry` goes: a folder the caller chose (trusted; "" for the current
// one) and the part taken from the member's name (to be checked before use).
struct OutputName {
  std::string root;
  std::string relative;
};
OutputName selection_output(const SelectionEntry& entry, int action, std::string_view name);

}  // namespace lumra::files
