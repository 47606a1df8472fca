// minizip's file functions over a descriptor the framework opened itself, so that the library
// reads and writes exactly the file the command chose (a temporary archive created exclusively,
// an archive opened once) and never opens a name of its own. Reads are served from a buffer
// filled by positioned reads: minizip reads the central directory a few bytes per call and seeks
// before every block, and neither costs a system call here. Writes are gathered the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/system/fs.h"

namespace lumra::files {

// The stream minizip is handed (its "file name" and its stream pointer at once). Plain memory,
// not the framework's heaps: a reader may be used from a helper thread.
struct ZipIo {
  sys::Descriptor fd = sys::kNoDescriptor;  // not owned
  uint64_t size = 0;       // end of the file as far as it is known (grows with writes)
  uint64_t position = 0;
  std::unique_ptr<uint8_t[]> buffer;
  size_t capacity = 0;
  uint64_t buffer_start = 0;  // file offset of buffer[0]
  size_t buffer_length = 0;   // reader: bytes valid; writer: bytes not yet written
  bool writing = false;
  sys::Status error{};  // the first failure, kept for the reason
};

// Sets up `io` for reading the file open on `fd` (its size is taken now) or for writing a new
// one. 1, or 0 with a reason.
int zip_io_reader(ZipIo* io, sys::Descriptor fd);
int zip_io_writer(ZipIo* io, sys::Descriptor fd);
// Reads up to n bytes at `at` through the reader's buffer, as the library's reads are served;
// the library's own position is left as it was. 1 (with *got, short only at the end of the file),
// or 0 after a failed read.
int zip_io_read_at(ZipIo* io, uint64_t at, void* out, size_t n, size_t* got);
// Writes out what a writer still holds. 1, or 0 with a reason.
int zip_io_flush(ZipIo* io);

// Fills minizip's table of file functions (zlib_filefunc64_def, given as void* so that this
// header needs no minizip header). Open with unzOpen2_64 / zipOpen2_64 passing the ZipIo as the
// path.
void zip_io_functions(void* zlib_filefunc64_def);

}  // namespace lumra::files
