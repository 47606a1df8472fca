// minizip calls by use: unzOpen2_64 / unzGoToFirstFile / unzGoToNextFile / unzGetCurrentFileInfo /
// unzOpenCurrentFile (unzOpenCurrentFile2 raw for copies) / unzReadCurrentFile /
// unzCloseCurrentFile / unzClose, and zipOpen / zipOpenNewFileInZip (zipOpenNewFileInZip2 raw) /
// zipWriteInFileInZip / zipCloseFileInZip (Raw) / zipClose. unzGetGlobalInfo only tells an empty
// archive (whose first-member step fails) from a damaged one.
#include "framework/files/zip_binding.h"

#include <unzip.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/dos_time.h"
#include "framework/files/path.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

constexpr size_t kNameBufferSize = 65536 + 1;  // names are at most 65,535 bytes
constexpr uint64_t kLocalHeaderSize = 30;       // before the name and the extra field
// An end record declaring 0xFFFF members may stand for more (minizip's own overflow rule).
constexpr uint64_t kCountOverflow = 0xFFFF;

unzFile unz(const ZipReader* z) { return static_cast<unzFile>(z->handle.get()); }
zipFile zf(const ZipWriter* w) { return static_cast<zipFile>(w->handle.get()); }

MemberStep walk_error(const char* reason) {
  fail(reason);
  return MemberStep::kError;
}

MemberStep load_member(ZipReader* z) {
  unz_file_info info{};
  char* const names = static_cast<char*>(z->name_buffer.get());
  if (unzGetCurrentFileInfo(unz(z), &info, names, kNameBufferSize - 1, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return walk_error("zip central directory entry cannot be read");
  }
  names[info.size_filename < kNameBufferSize ? info.size_filename : kNameBufferSize - 1] = '\0';
  if (std::strlen(names) != info.size_filename) return walk_error("zip member name holds a NUL byte");
  ZipMemberInfo& m = z->member;
  m.name.assign(names, info.size_filename);
  m.compressed_size = static_cast<uint32_t>(info.compressed_size);
  m.uncompressed_size = static_cast<uint32_t>(info.uncompressed_size);
  m.crc = static_cast<uint32_t>(info.crc);
  m.dos_time = static_cast<uint32_t>(info.dosDate);
  m.method = static_cast<uint32_t>(info.compression_method);
  m.flag = static_cast<uint32_t>(info.flag);
  m.internal_attributes = static_cast<uint32_t>(info.internal_fa);
  m.external_attributes = static_cast<uint32_t>(info.external_fa);
  ++z->index;
  return MemberStep::kMember;
}

MemberStep walk_result(ZipReader* z, int err) {
  if (err == UNZ_OK) return load_member(z);
  if (err == UNZ_END_OF_LIST_OF_FILE) return MemberStep::kEnd;
  if (z->declared == 0) return MemberStep::kEnd;
  if (z->declared == kCountOverflow && z->index >= kCountOverflow) return MemberStep::kEnd;
  failf("zip central directory is damaged after %llu of %llu members", static_cast<unsigned long long>(z->index),
        static_cast<unsigned long long>(z->declared));
  return MemberStep::kError;
}

tm_zip calendar_of(uint32_t dos_time) {
  const DosCalendar c = unpack_dos_time(dos_time);
  tm_zip t{};
  t.tm_sec = c.second;
  t.tm_min = c.minute;
  t.tm_hour = c.hour;
  t.tm_mday = c.day;
  t.tm_mon = static_cast<uInt>(c.month - 1);
  t.tm_year = c.year;
  return t;
}

// minizip cannot find an end record at offset 0, so an archive without members (nothing but
// that record and perhaps a comment) is recognised here.
bool is_empty_zip(const ZipIo& io) {
  uint8_t end[22];
  size_t got = 0;
  if (!sys::ok(sys::read_full_at(io.fd, 0, end, sizeof end, &got)) || got != sizeof end) return false;
  const uint64_t comment = end[20] | (end[21] << 8);
  constexpr uint8_t kEmpty[12] = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0};
  return io.size == 22 + comment && std::memcmp(end, kEmpty, sizeof kEmpty) == 0;
}

}  // namespace

namespace zip_detail {
void close_reader(void* handle) { unzClose(static_cast<unzFile>(handle)); }
void close_writer(void* handle) { zipClose(static_cast<zipFile>(handle), nullptr); }
}  // namespace zip_detail

// The library's handle goes before the stream and the file under it.
void zip_reader_reset(ZipReader* z) {
  z->handle.reset();
  z->io.reset();
  z->fd.reset();
  z->declared = 0;
  z->index = 0;
  z->member_open = false;
  z->member = ZipMemberInfo{};
}

void zip_writer_abandon(ZipWriter* w) {
  w->handle.reset();
  w->io.reset();
  w->entry_open = false;
}

int zip_reader_open(ZipReader* z, const char* path) {
  zip_reader_reset(z);
  z->name_buffer.reset(base::heap_alloc(kNameBufferSize));
  if (!z->name_buffer) return fail("no memory for zip member names");
  if (const sys::Status opened = sys::open_file(system_path(path).c_str(), z->fd.receive()); !sys::ok(opened)) {
    return failf("cannot open %s: %s", path, sys::describe(opened));
  }
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(z->fd.get(), &info)) || info.kind != sys::FileKind::kFile) {
    return failf("%s is not a regular file", path);
  }
  sys::expect_sequential_reads(z->fd.get());
  z->io = std::make_unique<ZipIo>();
  if (!zip_io_reader(z->io.get(), z->fd.get())) return 0;
  zlib_filefunc64_def functions{};
  zip_io_functions(&functions);
  z->handle.reset(unzOpen2_64(z->io.get(), &functions));
  if (!z->handle) {
    if (is_empty_zip(*z->io)) return 1;
    return failf("cannot open %s as a zip archive", path);
  }
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(unz(z), &global) == UNZ_OK) z->declared = global.number_entry;
  return 1;
}

MemberStep zip_first(ZipReader* z) {
  z->index = 0;
  if (!z->handle) return MemberStep::kEnd;
  return walk_result(z, unzGoToFirstFile(unz(z)));
}

MemberStep zip_next(ZipReader* z) { return z->handle ? walk_result(z, unzGoToNextFile(unz(z))) : MemberStep::kEnd; }

void zip_member_header(const ZipReader& z, bool backslashes, MemberHeader* h) {
  *h = MemberHeader{};
  header_set_name_prefix(h, backslashes ? with_separator(z.member.name, '\\') : z.member.name);
  h->record_length = z.member.compressed_size;
  h->unpacked_size = z.member.uncompressed_size;
  h->dos_time = z.member.dos_time;
}

int zip_member_open(ZipReader* z) {
  const ZipMemberInfo& m = z->member;
  if (m.flag & 1) return failf("zip member %s is encrypted", m.name.c_str());
  if (m.method != 0 && m.method != Z_DEFLATED) {
    return failf("zip member %s uses compression method %u, which is not supported", m.name.c_str(), m.method);
  }
  if (unzOpenCurrentFile(unz(z)) != UNZ_OK) return failf("zip member %s: local header is damaged", m.name.c_str());
  z->member_open = true;
  return 1;
}

int zip_member_span(ZipReader* z, uint64_t* begin, uint64_t* end) {
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(unz(z), &method, &level, 1) != UNZ_OK) return 0;
  const uint64_t data = unzGetCurrentFileZStreamPos64(unz(z));
  const int extra = unzGetLocalExtrafield(unz(z), nullptr, 0);
  unzCloseCurrentFile(unz(z));
  const uint64_t header = kLocalHeaderSize + z->member.name.size() + static_cast<uint64_t>(extra < 0 ? 0 : extra);
  if (extra < 0 || data < header) return 0;
  *begin = data - header;
  *end = data + z->member.compressed_size;
  return 1;
}

int zip_member_read(ZipReader* z, void* out, unsigned n) {
  const int got = unzReadCurrentFile(unz(z), out, n);
  return got < 0 ? 0 : got;
}

int zip_member_close(ZipReader* z) {
  if (!z->member_open) return 1;
  uint8_t probe = 0;
  // Sizes are 32-bit here: a zip64 member larger than that would otherwise end early unnoticed.
  const bool more = unzReadCurrentFile(unz(z), &probe, 1) > 0;
  const int err = unzCloseCurrentFile(unz(z));
  z->member_open = false;
  if (more) return failf("zip member %s holds more data than its header says", z->member.name.c_str());
  if (err == UNZ_CRCERROR) return failf("zip member %s: CRC mismatch", z->member.name.c_str());
  if (err != UNZ_OK) return failf("zip member %s cannot be closed", z->member.name.c_str());
  return 1;
}

void zip_member_abandon(ZipReader* z) {
  if (z->member_open) unzCloseCurrentFile(unz(z));
  z->member_open = false;
}

int zip_writer_create(ZipWriter* w, sys::Descriptor fd, const std::string& shown) {
  zip_writer_abandon(w);
  w->io = std::make_unique<ZipIo>();
  if (!zip_io_writer(w->io.get(), fd)) return 0;
  zlib_filefunc64_def functions{};
  zip_io_functions(&functions);
  w->handle.reset(zipOpen2_64(w->io.get(), APPEND_STATUS_CREATE, nullptr, &functions));
  if (!w->handle) return failf("cannot create %s", shown.c_str());
  return 1;
}

int zip_writer_finish(ZipWriter* w) {
  int ok = 1;
  if (w->entry_open && zipCloseFileInZip(zf(w)) != ZIP_OK) ok = fail("cannot finish a zip entry");
  w->entry_open = false;
  if (zipClose(static_cast<zipFile>(w->handle.release_ownership()), nullptr) != ZIP_OK && ok) {
    ok = failf("cannot write the zip directory: %s", sys::describe(w->io->error));
  }
  return ok;
}

int zip_entry_begin(ZipWriter* w, const std::string& name, uint32_t dos_time, int level) {
  zip_fileinfo info{};
  info.tmz_date = calendar_of(dos_time);
  info.dosDate = 0;
  info.internal_fa = 0;
  info.external_fa = 32;
  const std::string stored = with_separator(name, '/');
  if (zipOpenNewFileInZip(zf(w), stored.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, level) != ZIP_OK) {
    return failf("cannot start zip entry %s", stored.c_str());
  }
  w->entry_open = true;
  return 1;
}

int zip_entry_write(ZipWriter* w, const void* data, unsigned n) {
  if (zipWriteInFileInZip(zf(w), data, n) != ZIP_OK) return failf("cannot write the zip entry: %s", sys::describe(w->io->error));
  return 1;
}

int zip_entry_end(ZipWriter* w) {
  w->entry_open = false;
  if (zipCloseFileInZip(zf(w)) != ZIP_OK) return failf("cannot finish the zip entry: %s", sys::describe(w->io->error));
  return 1;
}

int zip_copy_raw(ZipReader* z, ZipWriter* w, uint8_t* buffer, size_t buffer_size) {
  const ZipMemberInfo& m = z->member;
  // minizip writes its own flags: an encrypted member copied raw would lose its encryption bit.
  if (m.flag & 1) return failf("zip member %s is encrypted and cannot be copied", m.name.c_str());
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(unz(z), &method, &level, 1) != UNZ_OK) {
    return failf("zip member %s: local header is damaged", m.name.c_str());
  }
  z->member_open = true;
  zip_fileinfo info{};
  info.tmz_date = calendar_of(m.dos_time);
  info.dosDate = 0;
  info.internal_fa = m.internal_attributes;
  info.external_fa = m.external_attributes;
  int ok = zipOpenNewFileInZip2(zf(w), m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method, level, 1) == ZIP_OK
               ? 1
               : failf("cannot start zip entry %s", m.name.c_str());
  if (ok) w->entry_open = true;
  uint64_t copied = 0;
  while (ok) {
    const int got = unzReadCurrentFile(unz(z), buffer, static_cast<unsigned>(buffer_size));
    if (got < 0) ok = failf("zip member %s cannot be read", m.name.c_str());
    if (got <= 0) break;
    copied += static_cast<uint64_t>(got);
    if (zipWriteInFileInZip(zf(w), buffer, static_cast<unsigned>(got)) != ZIP_OK) {
      ok = failf("cannot write the zip entry: %s", sys::describe(w->io->error));
    }
  }
  if (ok && copied != m.compressed_size) {
    ok = failf("zip member %s: %llu stored bytes where %u were declared", m.name.c_str(),
               static_cast<unsigned long long>(copied), m.compressed_size);
  }
  if (w->entry_open) {
    if (zipCloseFileInZipRaw(zf(w), m.uncompressed_size, m.crc) != ZIP_OK && ok) ok = fail("cannot finish the zip entry");
    w->entry_open = false;
  }
  unzCloseCurrentFile(unz(z));
  z->member_open = false;
  return ok;
}

int zip_level_for_method(int method) {
  switch (method) {
    case 0: return 0;
    case 1:
    case 4:
    case 16:
    case 64: return 1;
    case 8:
    case 128: return 9;
    default: return Z_DEFAULT_COMPRESSION;
  }
}

}  // namespace lumra::files
