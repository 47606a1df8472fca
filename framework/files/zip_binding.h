// The archive command's only way to zip archives: minizip (Debian's libminizip, the zip/unzip
// companion of zlib), with the library's member information carried into member record headers
// and back. Member names are fetched whole (up to 65,535 bytes); the header holds their first
// 79 bytes, the full name travels beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <zlib.h>

#include <memory>

#include "framework/base/owned.h"
#include "framework/files/member_header.h"
#include "framework/files/zip_io.h"

namespace lumra::files {

struct ZipMemberInfo {
  std::string name;  // as stored, "/" separated
  uint64_t compressed_size;    // zip64 sizes where the member has them
  uint64_t uncompressed_size;
  uint32_t crc;
  uint32_t dos_time;
  uint32_t method;
  uint32_t flag;
  uint32_t internal_attributes;
  uint32_t external_attributes;
};

namespace zip_detail {
void close_reader(void* handle);  // unzClose, which also closes a member left open
void close_writer(void* handle);  // zipClose without a comment, for a file about to be deleted
}  // namespace zip_detail

// The data of a member inflated here rather than by the library: one whose sizes need the zip64
// extensions (see zip_binding.cpp for why), or any member of a reader set to inflate_here. Kept
// from member to member, so that the inflate state is set up once per archive.
struct LargeMember {
  z_stream stream{};
  bool stream_ready = false;  // inflateInit2 done (inflateEnd due)
  bool active = false;     // a member's data is open here
  bool inflating = false;  // the open member is deflated
  bool ended = false;      // the deflate stream's end reached
  uint64_t position = 0;   // next stored byte in the archive
  uint64_t stored_left = 0;
  uint64_t unpacked_left = 0;
  uint32_t crc = 0;
  std::unique_ptr<uint8_t[]> input;
  LargeMember() = default;
  LargeMember(const LargeMember&) = delete;
  LargeMember& operator=(const LargeMember&) = delete;
  ~LargeMember() {
    if (stream_ready) inflateEnd(&stream);
  }
};

// An open zip archive, closed with its owner (the library first, then the file under it).
struct ZipReader {
  base::OwnedDescriptor fd;
  std::unique_ptr<ZipIo> io;
  base::Owned<void*, zip_detail::close_reader> handle;  // unzFile; empty for an archive without members
  uint64_t declared = 0;   // members the end record declares
  uint64_t index = 0;      // members walked so far
  bool member_open = false;
  ZipMemberInfo member{};  // the current member
  base::HeapBlock name_buffer;  // for whole names and extra fields: 65,536 bytes each
  std::unique_ptr<LargeMember> large;  // see LargeMember; `active` while its member is open
  // Every member is inflated here (see LargeMember) rather than by the library: the inflate state
  // is set up once for the archive and the archive read in large pieces, which pays for a reader
  // that inflates member after member (the extraction's helper threads).
  bool inflate_here = false;
};

int zip_reader_open(ZipReader* z, const char* path);
// Closes the archive (the owners do the same, in the right order, when it goes out of scope).
void zip_reader_reset(ZipReader* z);

// The first or next member's information. An archive declaring no members ends at once; a
// damaged central directory is an error.
MemberStep zip_first(ZipReader* z);
MemberStep zip_next(ZipReader* z);

// Header from the current member: name ("/" turned into "\" when `backslashes`), compressed and
// uncompressed size (0xFFFFFFFF where a size does not fit the header's 32 bits; the true sizes
// are in the member information), packed time. The reserved and check bytes are zero.
void zip_member_header(const ZipReader& z, bool backslashes, MemberHeader* h);

// The bytes the current member takes in the file: from its local header to the end of its stored
// data. 0 when its local header cannot be read or does not match the central directory.
int zip_member_span(ZipReader* z, uint64_t* begin, uint64_t* end);

// Opens the current member's data for inflating. Refuses encrypted members and methods other
// than stored (0) and deflate (8).
int zip_member_open(ZipReader* z);
// Up to n bytes of inflated data; a library error counts as 0 bytes.
int zip_member_read(ZipReader* z, void* out, unsigned n);
// Closes the member's data. 0 when the CRC does not match or the member
// holds more data than its header says (so nothing is ever cut short silently).
int zip_member_close(ZipReader* z);
// Closes the member's data after a failure, keeping the reason already recorded.
void zip_member_abandon(ZipReader* z);

// A zip archive being written; dropped before zip_writer_finish, it is closed without care for
// the result (the file is about to be deleted).
struct ZipWriter {
  std::unique_ptr<ZipIo> io;
  base::Owned<void*, zip_detail::close_writer> handle;  // zipFile
  bool entry_open = false;
};

// Starts a new zip in the empty file open on `fd` (a TempArchive's; it stays the caller's).
// `shown` names it in messages.
int zip_writer_create(ZipWriter* w, sys::Descriptor fd, const std::string& shown);
// Closes without care for the result: the file is about to be deleted.
void zip_writer_abandon(ZipWriter* w);
// Writes the central directory and closes. 1 or 0.
int zip_writer_finish(ZipWriter* w);

// New deflated entry named `name` ("\" turned into "/") with packed DOS time `dos_time`, deflate
// `level` (0-9 or -1 for the library default); external attributes 32 (archive). An entry of
// `size` bytes that 32-bit fields cannot hold is written with the zip64 extensions.
int zip_entry_begin(ZipWriter* w, const std::string& name, uint32_t dos_time, int level, uint64_t size);
int zip_entry_write(ZipWriter* w, const void* data, unsigned n);
int zip_entry_end(ZipWriter* w);

// Copies the reader's current member into the writer without recompressing: the stored bytes, CRC,
// method, level flags, name, time and attributes stay as they were. Streams in blocks of `buffer_size`.
int zip_copy_raw(ZipReader* z, ZipWriter* w, uint8_t* buffer, size_t buffer_size);

// Deflate level for the archive command's method number: 0 -> 0; 1, 4, 16, 64 -> 1; 8, 128 -> 9;
// anything else -> the library default.
int zip_level_for_method(int method);

}  // namespace lumra::files
