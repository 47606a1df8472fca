// Testing an archive without writing anything: every selected member's data is read through to its
// end, as extraction would read it (zip: inflated and its CRC checked; native: every block
// decoded and the sizes checked against the header and the record).
#pragma once

#include "framework/files/archive_command.h"

namespace lumra::files {

// The action verify_archive reports with; it is no archive command action (archive_command does
// nothing for it).
inline constexpr int kActionVerify = 9;

// Tests the members that `list` (`count` entries of 256 bytes, read as extraction reads them; a
// count of 0 takes every member) selects, in archive order, and stops at the first that fails.
// `progress` gets code 0 with action kActionVerify: value 0 per piece read (position: the bytes
// of the member checked before it) and value 1 once the member has checked out; 0 back aborts.
// Besides damaged data, a walk that ends before the archive does fails too: a native archive with
// bytes after its last readable record, a zip whose walk ends at a member name beginning below 32
// with central-directory entries left. 1 when everything checked out, 0 with a reason naming the
// member.
int verify_archive(const char* archive, int count, const char* list, int key, ArchiveProgress progress, void* data,
                   int format);

}  // namespace lumra::files
