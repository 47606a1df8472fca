// The buffer: a small read is served from it, refilled by one positioned read of the whole
// buffer at the reader's position; a large one goes straight into the caller's memory. Seeks
// only move the position. A writer gathers consecutive writes and writes them at their place when
// the position jumps (minizip goes back to complete local headers) or the buffer fills.
#include "framework/files/zip_io.h"

#include <ioapi.h>

#include <cstring>

#include "framework/base/error.h"

namespace lumra::files {
namespace {

constexpr size_t kReadBuffer = 64 * 1024;
// Reads this large (the library's blocks of member data) go straight into the caller's memory:
// a copy through the buffer would cost more than the system call it saves.
constexpr size_t kDirectRead = 16 * 1024;
constexpr size_t kWriteBuffer = 256 * 1024;

ZipIo* io_of(voidpf stream) { return static_cast<ZipIo*>(stream); }

bool flush(ZipIo* io) {
  if (!io->writing || io->buffer_length == 0) return true;
  const sys::Status written = sys::write_all_at(io->fd, io->buffer_start, io->buffer.get(), io->buffer_length);
  io->buffer_length = 0;
  if (!sys::ok(written)) {
    if (sys::ok(io->error)) io->error = written;
    return false;
  }
  return true;
}

voidpf ZCALLBACK open_io(voidpf, const void* filename, int) { return const_cast<void*>(filename); }

uLong ZCALLBACK read_io(voidpf, voidpf stream, void* out, uLong size) {
  ZipIo* io = io_of(stream);
  if (io->writing || !sys::ok(io->error)) return 0;
  auto* dst = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < size) {
    const uint64_t at = io->position;
    if (at >= io->buffer_start && at < io->buffer_start + io->buffer_length) {
      const size_t offset = static_cast<size_t>(at - io->buffer_start);
      size_t n = io->buffer_length - offset;
      if (n > size - done) n = size - done;
      std::memcpy(dst + done, io->buffer.get() + offset, n);
      done += n;
      io->position += n;
      continue;
    }
    if (at >= io->size) break;
    size_t got = 0;
    if (size - done >= kDirectRead) {
      const sys::Status read = sys::read_full_at(io->fd, at, dst + done, size - done, &got);
      if (!sys::ok(read)) io->error = read;
      done += got;
      io->position += got;
      break;
    }
    const sys::Status read = sys::read_full_at(io->fd, at, io->buffer.get(), io->capacity, &got);
    io->buffer_start = at;
    io->buffer_length = got;
    if (!sys::ok(read)) io->error = read;
    if (got == 0) break;
  }
  return static_cast<uLong>(done);
}

uLong ZCALLBACK write_io(voidpf, voidpf stream, const void* data, uLong size) {
  ZipIo* io = io_of(stream);
  if (!io->writing || !sys::ok(io->error)) return 0;
  if (io->buffer_length > 0 && io->position != io->buffer_start + io->buffer_length && !flush(io)) return 0;
  if (io->buffer_length == 0) io->buffer_start = io->position;
  if (io->buffer_length + size > io->capacity) {
    if (!flush(io)) return 0;
    io->buffer_start = io->position;
    if (size >= io->capacity) {
      const sys::Status written = sys::write_all_at(io->fd, io->position, data, size);
      if (!sys::ok(written)) {
        io->error = written;
        return 0;
      }
      io->position += size;
      if (io->position > io->size) io->size = io->position;
      return size;
    }
  }
  std::memcpy(io->buffer.get() + io->buffer_length, data, size);
  io->buffer_length += size;
  io->position += size;
  if (io->position > io->size) io->size = io->position;
  return size;
}

ZPOS64_T ZCALLBACK tell_io(voidpf, voidpf stream) { return io_of(stream)->position; }

long ZCALLBACK seek_io(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  ZipIo* io = io_of(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: io->position = offset; return 0;
    // The library moves back by passing a negative offset in this unsigned type (as fseeko would
    // take it): the sum wraps around to the place meant.
    case ZLIB_FILEFUNC_SEEK_CUR: io->position += offset; return 0;
    case ZLIB_FILEFUNC_SEEK_END: io->position = io->size + offset; return 0;
    default: return -1;
  }
}

// The descriptor stays its owner's: closing only writes out what is held.
int ZCALLBACK close_io(voidpf, voidpf stream) { return flush(io_of(stream)) ? 0 : -1; }

int ZCALLBACK error_io(voidpf, voidpf stream) { return sys::ok(io_of(stream)->error) ? 0 : 1; }

int setup(ZipIo* io, sys::Descriptor fd, bool writing) {
  *io = ZipIo{};
  io->fd = fd;
  io->writing = writing;
  io->capacity = writing ? kWriteBuffer : kReadBuffer;
  io->buffer.reset(new (std::nothrow) uint8_t[io->capacity]);
  if (!io->buffer) return base::fail("no memory for the zip buffer");
  sys::FileInfo info{};
  if (const sys::Status got = sys::file_info(fd, &info); !sys::ok(got)) {
    return base::failf("cannot read the archive: %s", sys::describe(got));
  }
  io->size = info.size;
  return 1;
}

}  // namespace

int zip_io_reader(ZipIo* io, sys::Descriptor fd) { return setup(io, fd, false); }
int zip_io_writer(ZipIo* io, sys::Descriptor fd) { return setup(io, fd, true); }

int zip_io_read_at(ZipIo* io, uint64_t at, void* out, size_t n, size_t* got) {
  const uint64_t kept = io->position;
  io->position = at;
  *got = read_io(nullptr, io, out, static_cast<uLong>(n));
  io->position = kept;
  return sys::ok(io->error) ? 1 : 0;
}

int zip_io_flush(ZipIo* io) {
  if (flush(io)) return 1;
  return base::failf("cannot write the archive: %s", sys::describe(io->error));
}

void zip_io_functions(void* table) {
  auto* f = static_cast<zlib_filefunc64_def*>(table);
  f->zopen64_file = open_io;
  f->zread_file = read_io;
  f->zwrite_file = write_io;
  f->ztell64_file = tell_io;
  f->zseek64_file = seek_io;
  f->zclose_file = close_io;
  f->zerror_file = error_io;
  f->opaque = nullptr;
}

}  // namespace lumra::files
