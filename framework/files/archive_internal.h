// Shared by the archive command's action files only: the command's parsed arguments, progress
// reporting, and one reader over both archive formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/base/owned.h"
#include "framework/files/archive_command.h"
#include "framework/files/native_archive.h"
#include "framework/files/selection.h"
#include "framework/files/zip_binding.h"

namespace lumra::files {

// Extraction writes through a buffer this large: zlib then keeps only its 32 KiB window per call
// instead of copying every byte into it, and the disk sees few large writes.
inline constexpr size_t kWriteBufferSize = 256 * 1024;

struct Command {
  int action;
  std::string archive;
  std::vector<SelectionEntry> entries;
  uint8_t key;
  ArchiveProgress progress;
  void* data;
  int method;
  bool compress_always;
  int format;  // kFormatNative or kFormatZip
  MemberHeader* header_out;
  uint8_t** buffer_slot;
};

// The notes of the command running now (see last_command_notes).
CommandNotes& command_notes();
// Passes something over: the reason goes into the notes and the last-error text.
void note_passed_over(const std::string& reason);

// A member's true sizes, where its header's 32-bit fields may not hold them.
struct MemberSizes {
  uint64_t unpacked;
  uint64_t stored;
};

// Code 0 report; true to go on (also without a callback). False records "aborted". Without
// `sizes` the header's are reported.
bool report_member(const Command& c, const MemberHeader& h, const char* name, int action, int64_t value,
                   int64_t position = 0, const MemberSizes* sizes = nullptr);

// Members of either format, one at a time; closed with its owner.
struct MemberSource {
  bool zip = false;
  ZipReader z;
  NativeReader n;
  base::HeapBlock scratch;    // native block decoding
  bool backslashes = false;   // zip names with "\" (extraction) or as stored (listing)
  MemberHeader header{};      // current member
  std::string name;           // its full name
  MemberSizes sizes{};        // its true sizes (zip64 members do not fit the header)
  uint64_t left = 0;          // unpacked bytes still to read
};

int source_open(MemberSource* s, const char* path, int format, uint8_t key, bool backslashes);
MemberStep source_next(MemberSource* s);

// Closes the current member's data after a failure (zip: without its checks), keeping the
// reason already recorded.
void source_abandon(MemberSource* s);
// The current member's data, open from source_begin until source_end takes it back; dropped
// before that, it is abandoned.
using MemberData = base::Owned<MemberSource*, source_abandon>;
// Opens the current member's data; empty when it cannot be opened (a reason is recorded).
MemberData source_begin(MemberSource* s);
// Next block of data, at most kBlockSize bytes, into out (room >= kBlockSize): the byte count, 0 on
// failure (native: the reader still stands before the block, so the call can be repeated).
uint32_t source_read(MemberSource* s, uint8_t* out, size_t room);
// Ends the member's data: 0 when the zip CRC or size checks fail.
int source_end(MemberData data);
// Most bytes the current member's stored data can possibly unpack to.
uint64_t source_deliverable(const MemberSource& s);

// "\" and "/" alike, "." and empty components dropped, "/" between the rest: the name two
// members may not share.
std::string normalised_name(std::string_view name);

// What an archive is checked for before anything is written (archive_check.cpp): names that
// normalise to one and, for zip, overlapping members always; the free space of each destination
// when extracting to files.
enum class CheckFor { kFiles, kMemory, kMerge };
// `path` and `format` name the archive (the command's own, or a merge source); names and overlaps
// are checked over all members, the free space over those the command's entries select. 1, or 0 with a reason.
// `selected`, when given, receives the places (from 1) of the members the entries select.
int check_archive(const Command& c, const std::string& path, int format, CheckFor purpose,
                  std::vector<uint64_t>* selected = nullptr);

int run_extract(Command& c);
int run_list(Command& c);
int run_delete(Command& c);
int run_add(Command& c);

}  // namespace lumra::files
