// minizip calls by use, the 64-bit forms throughout so that zip64 archives (members over 4 GiB,
// more than 65,535 members) read and write with their true sizes: unzOpen2_64 (over zip_io.h) /
// unzGoToFirstFile / unzGoToNextFile / unzGetCurrentFileInfo64 / unzOpenCurrentFile
// (unzOpenCurrentFile2 raw for copies and for a member's span) / unzReadCurrentFile /
// unzCloseCurrentFile / unzClose, and zipOpen2_64 / zipOpenNewFileInZip64
// (zipOpenNewFileInZip2_64 raw) / zipWriteInFileInZip / zipCloseFileInZip (Raw64) / zipClose.
// unzGetGlobalInfo64 only tells an empty archive (whose first-member step fails) from a damaged
// one, and counts the entries a walk leaves unread.
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
constexpr size_t kExtraBufferSize = 65535;      // and so are extra fields
constexpr size_t kLargeInput = 64 * 1024;
constexpr uint64_t kLocalHeaderSize = 30;       // before the name and the extra field
// Sizes from here on need the zip64 extensions (minizip's own threshold).
constexpr uint64_t kZip32Limit = 0xFFFFFFFF;
// An end record declaring 0xFFFF members may stand for more (minizip's own overflow rule).
constexpr uint64_t kCountOverflow = 0xFFFF;

unzFile unz(const ZipReader* z) { return static_cast<unzFile>(z->handle.get()); }
zipFile zf(const ZipWriter* w) { return static_cast<zipFile>(w->handle.get()); }

MemberStep walk_error(const char* reason) {
  fail(reason);
  return MemberStep::kError;
}

// The zip64 sizes of a central-directory entry whose 32-bit size fields hold 0xFFFFFFFF: the
// "extended information" extra field (id 1) holds the 64-bit values of exactly those fields, in
// the order uncompressed, compressed. Debian's minizip 1.1 compares the 32-bit fields with
// (unsigned long)-1, which on a 64-bit system is never 0xFFFFFFFF, so it never reads them itself.
bool read_zip64_sizes(const uint8_t* extra, size_t length, uint64_t* uncompressed, uint64_t* compressed) {
  size_t at = 0;
  while (at + 4 <= length) {
    const uint16_t id = static_cast<uint16_t>(extra[at] | extra[at + 1] << 8);
    const size_t size = static_cast<size_t>(extra[at + 2] | extra[at + 3] << 8);
    const uint8_t* data = extra + at + 4;
    if (at + 4 + size > length) return false;
    if (id == 1) {
      size_t used = 0;
      for (uint64_t* field : {uncompressed, compressed}) {
        if (*field != 0xFFFFFFFF) continue;
        if (used + 8 > size) return false;
        *field = 0;
        for (int i = 7; i >= 0; --i) *field = *field << 8 | data[used + static_cast<size_t>(i)];
        used += 8;
      }
      return true;
    }
    at += 4 + size;
  }
  return false;
}

MemberStep load_member(ZipReader* z) {
  unz_file_info64 info{};
  char* const names = static_cast<char*>(z->name_buffer.get());
  auto* const extra = reinterpret_cast<uint8_t*>(names + kNameBufferSize);
  if (unzGetCurrentFileInfo64(unz(z), &info, names, kNameBufferSize - 1, extra, kExtraBufferSize, nullptr, 0) != UNZ_OK) {
    return walk_error("zip central directory entry cannot be read");
  }
  names[info.size_filename < kNameBufferSize ? info.size_filename : kNameBufferSize - 1] = '\0';
  if (std::strlen(names) != info.size_filename) return walk_error("zip member name holds a NUL byte");
  ZipMemberInfo& m = z->member;
  m.name.assign(names, info.size_filename);
  m.compressed_size = info.compressed_size;
  m.uncompressed_size = info.uncompressed_size;
  if ((m.compressed_size == 0xFFFFFFFF || m.uncompressed_size == 0xFFFFFFFF) &&
      !read_zip64_sizes(extra, info.size_file_extra < kExtraBufferSize ? info.size_file_extra : kExtraBufferSize,
                        &m.uncompressed_size, &m.compressed_size)) {
    return walk_error("zip central directory entry lacks the zip64 sizes it announces");
  }
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

bool large_open(const ZipReader* z) { return z->large && z->large->active; }

// A member whose sizes need zip64: the library could deliver at most 0xFFFFFFFF bytes of it (see
// read_zip64_sizes), so it only finds the stored data (checking the local header) and the data is
// read and inflated here, with its CRC, through zlib. Members of a reader whose caller checks the
// CRC take the same way.
int open_large(ZipReader* z) {
  const ZipMemberInfo& m = z->member;
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(unz(z), &method, &level, 1) != UNZ_OK) {
    return failf("zip member %s: local header is damaged", m.name.c_str());
  }
  const uint64_t data = unzGetCurrentFileZStreamPos64(unz(z));
  unzCloseCurrentFile(unz(z));
  if (!z->large) {
    auto large = std::make_unique<LargeMember>();
    large->input.reset(new (std::nothrow) uint8_t[kLargeInput]);
    if (!large->input) return fail("no memory for the zip member");
    z->large = std::move(large);
  }
  LargeMember& l = *z->large;
  l.position = data;
  l.stored_left = m.compressed_size;
  l.unpacked_left = m.uncompressed_size;
  l.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  l.ended = false;
  l.inflating = false;
  l.stream.avail_in = 0;
  if (m.method == Z_DEFLATED) {
    if (!l.stream_ready) {
      l.stream = z_stream{};
      if (inflateInit2(&l.stream, -MAX_WBITS) != Z_OK) return fail("no memory for inflating");
      l.stream_ready = true;
    } else if (inflateReset(&l.stream) != Z_OK) {
      return fail("cannot restart inflating");
    }
    l.stream.avail_in = 0;
    l.inflating = true;
  }
  l.active = true;
  z->member_open = true;
  return 1;
}

// Stored bytes of the member at `at`: through the archive's read buffer, so that the small members
// that follow one another cost no system call each.
bool read_stored(ZipReader* z, uint64_t at, uint8_t* out, size_t n, size_t* got) {
  return zip_io_read_at(z->io.get(), at, out, n, got) != 0;
}

// Up to n bytes of the large member's data (`probe`: past its declared size, to find more).
size_t read_large(ZipReader* z, uint8_t* out, size_t n, bool probe) {
  LargeMember& l = *z->large;
  if (!probe && n > l.unpacked_left) n = static_cast<size_t>(l.unpacked_left);
  if (n == 0) return 0;
  size_t produced = 0;
  if (z->member.method == 0) {
    if (n > l.stored_left) n = static_cast<size_t>(l.stored_left);
    if (!read_stored(z, l.position, out, n, &produced)) return 0;
    l.position += produced;
    l.stored_left -= produced;
  } else {
    l.stream.next_out = out;
    l.stream.avail_out = static_cast<uInt>(n);
    while (l.stream.avail_out > 0 && !l.ended) {
      // With the stored bytes all taken in, inflate may still hold output (the rest of a match):
      // it is asked once more, and says so (Z_BUF_ERROR) when it has nothing left.
      if (l.stream.avail_in == 0 && l.stored_left > 0) {
        size_t got = 0;
        const size_t want = l.stored_left < kLargeInput ? static_cast<size_t>(l.stored_left) : kLargeInput;
        if (!read_stored(z, l.position, l.input.get(), want, &got) || got == 0) break;
        l.position += got;
        l.stored_left -= got;
        l.stream.next_in = l.input.get();
        l.stream.avail_in = static_cast<uInt>(got);
      }
      const int r = inflate(&l.stream, Z_NO_FLUSH);
      if (r == Z_STREAM_END) l.ended = true;
      if (r != Z_OK && r != Z_STREAM_END) break;
    }
    produced = n - l.stream.avail_out;
  }
  if (probe) return produced;
  l.unpacked_left -= produced;
  l.crc = static_cast<uint32_t>(crc32(l.crc, out, static_cast<uInt>(produced)));
  return produced;
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
  z->large.reset();
}

void zip_writer_abandon(ZipWriter* w) {
  w->handle.reset();
  w->io.reset();
  w->entry_open = false;
}

int zip_reader_open(ZipReader* z, const char* path) {
  zip_reader_reset(z);
  z->name_buffer.reset(base::heap_alloc(kNameBufferSize + kExtraBufferSize));
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
  h->record_length = header_size_field(z.member.compressed_size);
  h->unpacked_size = header_size_field(z.member.uncompressed_size);
  h->dos_time = z.member.dos_time;
}

int zip_member_open(ZipReader* z) {
  const ZipMemberInfo& m = z->member;
  if (m.flag & 1) return failf("zip member %s is encrypted", m.name.c_str());
  if (m.method != 0 && m.method != Z_DEFLATED) {
    return failf("zip member %s uses compression method %u, which is not supported", m.name.c_str(), m.method);
  }
  if (z->inflate_here || m.uncompressed_size >= kZip32Limit || m.compressed_size >= kZip32Limit) return open_large(z);
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
  if (large_open(z)) return static_cast<int>(read_large(z, static_cast<uint8_t*>(out), n, false));
  const int got = unzReadCurrentFile(unz(z), out, n);
  return got < 0 ? 0 : got;
}

int zip_member_close(ZipReader* z) {
  if (large_open(z)) {
    uint8_t probe = 0;
    const bool more = z->large->unpacked_left == 0 && read_large(z, &probe, 1, true) > 0;
    LargeMember& l = *z->large;
    const bool whole = l.unpacked_left == 0 && (l.ended || z->member.method == 0);
    const bool crc_ok = l.crc == z->member.crc;
    l.active = false;
    z->member_open = false;
    if (more) return failf("zip member %s holds more data than its header says", z->member.name.c_str());
    if (!whole) return failf("zip member %s ends before its declared size", z->member.name.c_str());
    if (!crc_ok) return failf("zip member %s: CRC mismatch", z->member.name.c_str());
    return 1;
  }
  if (!z->member_open) return 1;
  uint8_t probe = 0;
  // Data past the declared size would otherwise end unnoticed.
  const bool more = unzReadCurrentFile(unz(z), &probe, 1) > 0;
  const int err = unzCloseCurrentFile(unz(z));
  z->member_open = false;
  if (more) return failf("zip member %s holds more data than its header says", z->member.name.c_str());
  if (err == UNZ_CRCERROR) return failf("zip member %s: CRC mismatch", z->member.name.c_str());
  if (err != UNZ_OK) return failf("zip member %s cannot be closed", z->member.name.c_str());
  return 1;
}

void zip_member_abandon(ZipReader* z) {
  if (z->member_open && !large_open(z)) unzCloseCurrentFile(unz(z));
  if (z->large) z->large->active = false;
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

int zip_entry_begin(ZipWriter* w, const std::string& name, uint32_t dos_time, int level, uint64_t size) {
  zip_fileinfo info{};
  info.tmz_date = calendar_of(dos_time);
  info.dosDate = 0;
  info.internal_fa = 0;
  info.external_fa = 32;
  const std::string stored = with_separator(name, '/');
  const int zip64 = size >= kZip32Limit ? 1 : 0;
  if (zipOpenNewFileInZip64(zf(w), stored.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, level, zip64) !=
      ZIP_OK) {
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
  const int zip64 = m.uncompressed_size >= kZip32Limit || m.compressed_size >= kZip32Limit ? 1 : 0;
  int ok = zipOpenNewFileInZip2_64(zf(w), m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method, level, 1,
                                   zip64) == ZIP_OK
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
    ok = failf("zip member %s: %llu stored bytes where %llu were declared", m.name.c_str(),
               static_cast<unsigned long long>(copied), static_cast<unsigned long long>(m.compressed_size));
  }
  if (w->entry_open) {
    if (zipCloseFileInZipRaw64(zf(w), m.uncompressed_size, m.crc) != ZIP_OK && ok) ok = fail("cannot finish the zip entry");
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
