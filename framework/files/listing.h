// Directory listings with DOS wildcards and optional descent, existence tests, deleting files by
// pattern and deleting a whole tree. Symbolic links are never followed into directories, so a
// listing or a deletion cannot wander out of the tree it was given. Results: 1/0 or counts.
#pragma once

#include <cstdint>

#include "framework/base/dynarray.h"
#include "framework/files/dos_time.h"
#include "framework/files/path.h"

namespace lumra::files {

struct ListingEntry {
  char path[kMaxPath];  // the search's drive and directory joined with the name, "/" separated
  int32_t depth;        // 0 for the folder searched first, +1 per level of descent
  char name[kMaxName];  // the entry's own name
  DosCalendar modified;  // files only
  uint64_t size;         // files only
};

inline constexpr int kListFiles = 0;
inline constexpr int kListDirectories = 1;

// Appends to `listing` (set up here when it is not yet). `pattern` is the search pattern: a folder
// and a name with DOS wildcards. Mode 0 lists files: without descent those the pattern's name
// matches, with descent those whose base name and extension match, in every folder below (folders
// whose names begin with "." are not entered). Mode 1 lists folders, with descent every folder
// below, parents first. 1 when the listing holds at least one entry; otherwise its
// storage is released and 0 is returned (also when a path would not fit an entry: see last_error).
int list_files(base::DynArray* listing, const char* pattern, int descend, int mode);

// What a listing came to, with the two kinds of 0 of list_files told apart: nothing found, or a
// failure (a path that would not fit an entry, no memory; the reason is recorded).
enum class ListOutcome { kListed, kNothing, kFailed };
ListOutcome list_files_outcome(base::DynArray* listing, const char* pattern, int descend, int mode);

// Without "*" or "?": 1 when something exists under the path. With them: the number of files a
// mode-0 listing without descent finds.
int file_exists(const char* path);
// The number of folders a mode-1 listing without descent finds for the path.
int directory_exists(const char* path);

// Deletes each file a mode-0 listing finds; 1 when at least one matched (single failures ignored).
int delete_files(const char* pattern, int descend);
// folder + "/" (when missing) + pattern.
int delete_files_in_folder(const char* folder, const char* pattern, int descend);

// Removes every file and folder below `folder` (the folder itself stays). Links are removed, never
// followed. 1 when every folder could be removed (also when there was none, the folder itself
// missing included), 0 when one could not, the folder cannot be opened, or the path is empty.
int delete_tree(const char* folder);

}  // namespace lumra::files
