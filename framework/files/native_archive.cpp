// Reader and writer of native archive records. The reader checks every header and block length
// against the record and the archive before reading; blocks decode through base's block decoder,
// bounded by the block size.
#include "framework/files/native_archive.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/lzw.h"
#include "framework/base/rle.h"
#include "framework/files/copy.h"
#include "framework/files/path.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

constexpr std::array<uint32_t, 256> make_scramble_table() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) t[i] = i;
  uint32_t x = 0x4C554D52;  // fixed seed: archives must read back with the same table forever
  for (uint32_t i = 255; i > 0; --i) {
    x = x * 1664525u + 1013904223u;
    const uint32_t j = (x >> 8) % (i + 1);
    const uint32_t v = t[i];
    t[i] = t[j];
    t[j] = v;
  }
  return t;
}

constexpr size_t kScrambleHead = 12;
constexpr size_t kStdioBuffer = 64 * 1024;

bool read_at(NativeReader* r, uint64_t at, void* out, size_t n) {
  if (!sys::seek(r->file.get(), static_cast<int64_t>(at))) return fail("cannot seek in the archive");
  if (std::fread(out, 1, n, r->file.get()) != n) return fail("cannot read the archive");
  return true;
}

bool all_zero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i]) return false;
  }
  return true;
}

struct BlockHead {
  uint16_t method;
  uint16_t unpacked;
  uint16_t stored;
  uint32_t data_length;  // bytes after the block header
};

// Reads and checks the next block header of the current record.
bool next_block_head(NativeReader* r, BlockHead* b) {
  if (r->unpacked_left == 0) return fail("member has no data left");
  if (r->block_pos + kBlockHeaderSize > r->record_end) return fail("member data ends before its unpacked size");
  uint8_t raw[kBlockHeaderSize];
  if (!read_at(r, r->block_pos, raw, sizeof raw)) return false;
  b->method = base::load_u16le(raw);
  b->unpacked = base::load_u16le(raw + 2);
  b->stored = base::load_u16le(raw + 4);
  if (b->unpacked == 0 || b->unpacked > kBlockSize || b->unpacked > r->unpacked_left) {
    return failf("block of %u bytes does not fit its member", b->unpacked);
  }
  b->data_length = b->method == kBlockStored ? b->unpacked : b->stored;
  if (r->block_pos + kBlockHeaderSize + b->data_length > r->record_end) {
    return fail("block passes the end of its member record");
  }
  return true;
}

int zlib_level(int flag) {
  switch (flag) {
    case kBlockZlibBest: return 9;
    case kBlockZlibFast: return 1;
    default: return Z_DEFAULT_COMPRESSION;
  }
}

// The first zlib flag the writer value carries, tested in the order 128, 32, 64.
int zlib_flag(int value) {
  for (int flag : {kBlockZlibBest, kBlockZlibDefault, kBlockZlibFast}) {
    if (value & flag) return flag;
  }
  return 0;
}

// zlib at `flag`'s level into out when the result fits in `capacity`; its length or 0.
size_t try_zlib(const uint8_t* data, uint32_t n, int flag, uint8_t* out, size_t capacity) {
  if (capacity == 0) return 0;
  uLongf length = capacity;
  if (compress2(out, &length, data, n, zlib_level(flag)) != Z_OK) return 0;
  return length;
}

}  // namespace

const std::array<uint32_t, 256> kScrambleTable = make_scramble_table();

void scramble(uint8_t* buffer, size_t n, uint8_t key) {
  if (!key) return;
  const size_t head = n < kScrambleHead ? n : kScrambleHead;
  uint32_t s = 0;
  for (size_t i = 0; i < head; ++i) {
    buffer[i] ^= static_cast<uint8_t>(key ^ kScrambleTable[i]);
    s += buffer[i];
  }
  for (size_t i = head; i < n; ++i) buffer[i] ^= static_cast<uint8_t>(key ^ kScrambleTable[(s + i) & 255]);
}

void unscramble(uint8_t* buffer, size_t n, uint8_t key) {
  if (!key) return;
  const size_t head = n < kScrambleHead ? n : kScrambleHead;
  uint32_t s = 0;
  for (size_t i = 0; i < head; ++i) {
    s += buffer[i];
    buffer[i] ^= static_cast<uint8_t>(key ^ kScrambleTable[i]);
  }
  for (size_t i = head; i < n; ++i) buffer[i] ^= static_cast<uint8_t>(key ^ kScrambleTable[(s + i) & 255]);
}

int native_open(NativeReader* r, const char* path, uint8_t key, const char* mode) {
  *r = NativeReader{};
  r->file.reset(std::fopen(system_path(path).c_str(), mode));
  if (!r->file) return failf("cannot open %s: %s", path, std::strerror(errno));
  setvbuf(r->file.get(), nullptr, _IOFBF, kStdioBuffer);
  std::FILE* const f = r->file.release_ownership();
  if (!native_attach(r, f, key)) {
    std::fclose(f);
    return failf("%s is not a regular file", path);
  }
  return 1;
}

int native_attach(NativeReader* r, std::FILE* f, uint8_t key) {
  *r = NativeReader{};
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(sys::stream_descriptor(f), &info)) || info.kind != sys::FileKind::kFile) {
    return fail("the archive is not a regular file");
  }
  r->file.reset(f);
  r->key = key;
  r->file_size = info.size;
  return 1;
}

MemberStep native_next(NativeReader* r, MemberHeader* h) {
  if (r->next_record >= r->file_size || r->file_size - r->next_record < kHeaderSize) return MemberStep::kEnd;
  uint8_t raw[kHeaderSize];
  if (!read_at(r, r->next_record, raw, sizeof raw)) return MemberStep::kError;
  if (all_zero(raw + 100, 10)) {
    r->key = 0;
  } else {
    if (!r->key) return MemberStep::kEnd;
    unscramble(raw, sizeof raw, r->key);
    if (!all_zero(raw + 100, 10)) return MemberStep::kEnd;
  }
  header_load(raw, h);
  if (static_cast<uint8_t>(h->name[0]) < 32) return MemberStep::kEnd;
  if (!std::memchr(h->name, 0, kHeaderNameSize)) return error_step(fail("member name in a native header is not terminated"));
  if (h->record_length < kHeaderSize) {
    return error_step(failf("member %s: record length %u is shorter than its header", h->name, h->record_length));
  }
  if (h->record_length > r->file_size - r->next_record) {
    return error_step(failf("member %s runs past the end of the archive", h->name));
  }
  r->record_start = r->next_record;
  r->record_end = r->next_record + h->record_length;
  r->block_pos = r->record_start + kHeaderSize;
  r->unpacked_left = h->unpacked_size;
  r->next_record = r->record_end;
  return MemberStep::kMember;
}

int native_read_block(NativeReader* r, uint8_t* out, uint8_t* scratch, uint32_t* produced) {
  *produced = 0;
  BlockHead b{};
  if (!next_block_head(r, &b)) return 0;
  const uint64_t data_at = r->block_pos + kBlockHeaderSize;
  if (b.method == kBlockStored) {
    if (!read_at(r, data_at, out, b.unpacked)) return 0;
    unscramble(out, b.unpacked, r->key);
  } else {
    if (b.data_length > kWorkBufferSize) return fail("block larger than the reader's buffer");
    if (!read_at(r, data_at, scratch, b.data_length)) return 0;
    unscramble(scratch, b.data_length, r->key);
    if (!base::block_decode(b.method, scratch, b.data_length, out, b.unpacked)) return 0;
  }
  r->block_pos = data_at + b.data_length;
  r->unpacked_left -= b.unpacked;
  *produced = b.unpacked;
  return 1;
}

int native_read_raw_block(NativeReader* r, uint8_t target_key, uint8_t* out, uint32_t* length, uint32_t* unpacked) {
  BlockHead b{};
  if (!next_block_head(r, &b)) return 0;
  if (!read_at(r, r->block_pos, out, kBlockHeaderSize + b.data_length)) return 0;
  if (r->key != target_key) {
    unscramble(out + kBlockHeaderSize, b.data_length, r->key);
    scramble(out + kBlockHeaderSize, b.data_length, target_key);
  }
  r->block_pos += kBlockHeaderSize + b.data_length;
  r->unpacked_left -= b.unpacked;
  *length = static_cast<uint32_t>(kBlockHeaderSize + b.data_length);
  *unpacked = b.unpacked;
  return 1;
}

int native_write_header(std::FILE* f, const MemberHeader& h, uint8_t key) {
  uint8_t raw[kHeaderSize];
  header_store(h, raw);
  scramble(raw, sizeof raw, key);
  if (std::fwrite(raw, 1, sizeof raw, f) != sizeof raw) return failf("cannot write the archive: %s", std::strerror(errno));
  return 1;
}

int native_write_block(std::FILE* f, const uint8_t* data, uint32_t n, int value, uint8_t key, uint32_t* stored_total) {
  if (value == kWriterRaw) {
    if (std::fwrite(data, 1, n, f) != n) return failf("cannot write the archive: %s", std::strerror(errno));
    return base::checked_add(*stored_total, n, stored_total) ? 1 : fail("member too large for a native record");
  }
  if (n == 0 || n > kBlockSize) return fail("bad block size");
  uint8_t block[kBlockHeaderSize + kBlockSize];
  uint8_t packed[kBlockSize];
  uint8_t* const payload = block + kBlockHeaderSize;
  int method = kBlockStored;
  size_t length = n;
  std::memcpy(payload, data, n);

  size_t coded = 0;
  if (value & 1) {
    if (base::rle_encode(data, n, packed, n - 1, &coded)) {
      method = kBlockRunLength;
      length = coded;
      std::memcpy(payload, packed, coded);
    }
  } else if (value == kBlockLzw) {
    if (base::lzw_encode(data, n, packed, n - 1, &coded)) {
      method = kBlockLzw;
      length = coded;
      std::memcpy(payload, packed, coded);
    }
  }
  if (const int flag = zlib_flag(value); flag && value != kBlockLzw) {
    const size_t room = method == kBlockRunLength ? length : n - 1;
    if (const size_t z = try_zlib(data, n, flag, packed, room)) {
      method = flag;
      length = z;
      std::memcpy(payload, packed, z);
    }
  }
  base::store_u16le(block, static_cast<uint16_t>(method));
  base::store_u16le(block + 2, static_cast<uint16_t>(n));
  base::store_u16le(block + 4, static_cast<uint16_t>(length));
  scramble(payload, length, key);
  const size_t total = kBlockHeaderSize + length;
  if (std::fwrite(block, 1, total, f) != total) return failf("cannot write the archive: %s", std::strerror(errno));
  return base::checked_add(*stored_total, static_cast<uint32_t>(total), stored_total)
             ? 1
             : fail("member too large for a native record");
}

int native_delete_in_place(const char* path, uint8_t key, RecordDecision decide, void* context, uint32_t* deleted) {
  *deleted = 0;
  base::OwnedFile f(std::fopen(system_path(path).c_str(), "rb+"));
  if (!f) return failf("cannot open %s: %s", path, std::strerror(errno));
  if (!native_delete_in_stream(f.get(), key, decide, context, deleted)) return 0;
  if (!f.close()) return failf("cannot write the archive: %s", std::strerror(errno));
  return 1;
}

int native_delete_in_stream(std::FILE* stream, uint8_t key, RecordDecision decide, void* context, uint32_t* deleted) {
  *deleted = 0;
  NativeReader r{};
  if (!native_attach(&r, stream, key)) return 0;
  // The stream stays the caller's whichever way this returns.
  struct Borrowed {
    NativeReader& r;
    ~Borrowed() { r.file.release_ownership(); }
  } borrowed{r};
  struct Record {
    uint64_t start;
    uint64_t length;
    bool keep;
  };
  std::vector<Record> records;
  uint64_t total = 0;
  MemberHeader h{};
  for (;;) {
    const MemberStep got = native_next(&r, &h);
    if (got == MemberStep::kError) return 0;
    if (got == MemberStep::kEnd) break;
    total += h.record_length;
    if (total >= kMaxNativeArchive) return fail("native archive of 2 GiB or more cannot be edited");
    const int verdict = decide(context, h);
    if (verdict < 0) return 0;
    records.push_back({r.record_start, h.record_length, verdict == 0});
    if (verdict) ++*deleted;
  }
  if (*deleted == 0) return 1;
  // Whatever follows the last readable record (another key's members, say) moves along unread.
  records.push_back({r.next_record, r.file_size - r.next_record, true});
  std::FILE* const f = r.file.get();
  uint64_t write = 0;
  for (const Record& rec : records) {
    if (!rec.keep) continue;
    if (write != rec.start &&
        !copy_range(f, static_cast<int64_t>(write), f, static_cast<int64_t>(rec.start), static_cast<int64_t>(rec.length),
                    nullptr, nullptr)) {
      return 0;
    }
    write += rec.length;
  }
  if (std::fflush(f) != 0) return failf("cannot cut the archive: %s", std::strerror(errno));
  if (const sys::Status cut = sys::resize(sys::stream_descriptor(f), write); !sys::ok(cut)) {
    return failf("cannot cut the archive: %s", sys::describe(cut));
  }
  return 1;
}

}  // namespace lumra::files
