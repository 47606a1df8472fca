// The archive command: one call adds, extracts, lists, deletes or merges members of a zip or
// native archive, chosen by a selection list. Result 1 success, 0 failure with a reason in
// base::last_error(). A refused member (a name that would escape the destination) fails the
// command like any other member that cannot be written; a failed add or delete leaves the archive
// as it was; a failed member leaves no partial file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/files/member_header.h"

namespace lumra::files {

inline constexpr int kActionToMemory = -1;  // internal form only
inline constexpr int kActionNone = 0;
inline constexpr int kActionAdd = 1;
inline constexpr int kActionAddTree = 2;
inline constexpr int kActionExtractBare = 3;
inline constexpr int kActionExtract = 4;
inline constexpr int kActionDelete = 5;
inline constexpr int kActionList = 6;
inline constexpr int kActionMerge = 7;
inline constexpr int kActionAddStored = 8;

inline constexpr int kFormatDetect = -1;
inline constexpr int kFormatNative = 0;
inline constexpr int kFormatZip = 1;

// Progress codes.
inline constexpr int kProgressMember = 0;        // progress on a member; 0 back aborts
inline constexpr int kProgressRetry = 1;         // a block gave no bytes; nonzero back reads it again
inline constexpr int kProgressCannotCreate = 2;  // an output cannot be made; nonzero back aborts,
                                                 // 0 passes the member over

struct ProgressInfo {
  const MemberHeader* header;  // code 0
  const char* name;   // code 0: the member's full name (the header holds 79 bytes of it), or the
                      // archive path in a listing summary; code 2: the output path
  int action;
  int64_t value;      // extraction: bytes done; adding: 0 per block, 1 per file; listing: 0 per
                      // member, 1 for the summary
  int64_t position;   // adding: offset of the block in the file
  uint64_t size;      // code 0: the member's true unpacked and stored sizes (a header field
  uint64_t stored;    // holds 0xFFFFFFFF where one does not fit its 32 bits)
  uint64_t count;           // listing summary: members
  uint64_t total_unpacked;  // listing summary
  uint64_t total_stored;    // listing summary
};

using ArchiveProgress = int (*)(int code, void* data, const ProgressInfo& info);

// `list` holds `count` entries of 256 bytes (see selection.h). `key` 0-255 scrambles native
// archives (0: none). `method` picks the compression for adding, `compress_always` compresses
// already-packed files too, `format` is kFormatDetect, kFormatNative or kFormatZip. Action 0 and
// values outside -1..8 do nothing and give 1; -1 needs the internal form.
int archive_command(int action, const char* archive, int count, const char* list, int key, ArchiveProgress progress,
                    void* data, int method, int compress_always, int format);

// The same, plus the outputs of action -1: the first selected member's header and its data in a
// block from the framework heap (the caller frees it with base::heap_free).
int archive_command_internal(int action, const char* archive, int count, const char* list, int key,
                             ArchiveProgress progress, void* data, int method, int compress_always, int format,
                             MemberHeader* header_out, uint8_t** buffer_slot);

// Action -1 refuses a member that claims more than this many bytes before allocating anything.
// The default, 256 MiB, is far above any package file the framework reads into memory (a logo
// picture, a scene's data file of a few megabytes) and far below what would exhaust a desktop.
inline constexpr uint64_t kDefaultMemoryLimit = uint64_t{256} << 20;
void set_archive_memory_limit(uint64_t bytes);
uint64_t archive_memory_limit();

// What the latest archive command passed over while still succeeding, for programs that tell a
// person about it (as tar warns and exits with a failure status at the end). Cleared by each call.
struct CommandNotes {
  // One reason per file or member passed over: a file to add that cannot be opened or is not a
  // regular file, an output the callback chose to pass over.
  std::vector<std::string> passed_over;
  // Zip: central-directory entries left unread because a member name beginning below 32 ended
  // the walk, as such a name ends a native archive.
  uint64_t unread_entries = 0;
};
const CommandNotes& last_command_notes();

// Zip when the first four bytes are "PK\3\4"; otherwise native. A file that cannot be opened or is
// shorter than four bytes is zip when its name ends in ".zip" or ".docx" (any case).
int detect_archive_format(const char* archive);

}  // namespace lumra::files
