// One walk over zip or native members for extraction, listing and merging, so each action is
// written once. Native blocks decode through native_archive, zip data inflates through minizip.
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/archive_internal.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

// Deflate cannot expand past about 1032:1; a block record needs at least 7 bytes per 16 KiB block.
constexpr uint64_t kDeflateRatio = 1032;
constexpr uint64_t kMinBlockRecord = kBlockHeaderSize + 1;

}  // namespace

bool report_member(const Command& c, const MemberHeader& h, const char* name, int action, int64_t value,
                   int64_t position, const MemberSizes* sizes) {
  if (!c.progress) return true;
  ProgressInfo info{};
  info.header = &h;
  info.name = name;
  info.action = action;
  info.value = value;
  info.position = position;
  info.size = sizes ? sizes->unpacked : h.unpacked_size;
  info.stored = sizes ? sizes->stored : h.record_length;
  if (c.progress(kProgressMember, c.data, info)) return true;
  return base::fail("aborted by the progress callback");
}

int source_open(MemberSource* s, const char* path, int format, uint8_t key, bool backslashes) {
  zip_reader_reset(&s->z);  // the library before the file under it
  *s = MemberSource{};
  s->zip = format == kFormatZip;
  s->backslashes = backslashes;
  if (s->zip) return zip_reader_open(&s->z, path);
  s->scratch.reset(base::heap_alloc(kWorkBufferSize));
  if (!s->scratch) return base::fail("no memory for the working buffer");
  return native_open(&s->n, path, key, "rb");
}

MemberStep source_next(MemberSource* s) {
  if (s->zip) {
    const MemberStep got = s->z.index == 0 ? zip_first(&s->z) : zip_next(&s->z);
    if (got != MemberStep::kMember) return got;
    zip_member_header(s->z, s->backslashes, &s->header);
    s->name = s->backslashes ? with_separator(s->z.member.name, '\\') : s->z.member.name;
    // As in a native archive, a name beginning below 32 ends the members; the entries left
    // unread (this one included) are noted, so that a program can say the walk ended early.
    if (static_cast<uint8_t>(s->header.name[0]) < 32) {
      const uint64_t walked = s->z.index;
      command_notes().unread_entries = s->z.declared >= walked ? s->z.declared - walked + 1 : 1;
      return MemberStep::kEnd;
    }
  } else {
    const MemberStep got = native_next(&s->n, &s->header);
    if (got != MemberStep::kMember) return got;
    s->name = s->header.name;
  }
  s->sizes = s->zip ? MemberSizes{s->z.member.uncompressed_size, s->z.member.compressed_size}
                    : MemberSizes{s->header.unpacked_size, s->header.record_length};
  s->left = s->sizes.unpacked;
  return MemberStep::kMember;
}

MemberData source_begin(MemberSource* s) {
  if (s->zip && !zip_member_open(&s->z)) return MemberData();
  return MemberData(s);
}

uint32_t source_read(MemberSource* s, uint8_t* out, size_t room) {
  if (s->left == 0) return 0;
  uint32_t got = 0;
  if (s->zip) {
    // One block at a time, as in a native archive, so progress arrives per block of 16,384 bytes.
    size_t want = room < kBlockSize ? room : kBlockSize;
    if (want > s->left) want = s->left;
    got = static_cast<uint32_t>(zip_member_read(&s->z, out, static_cast<unsigned>(want)));
    if (got == 0) {
      base::failf("zip member %s ends before its %llu bytes", s->name.c_str(),
                  static_cast<unsigned long long>(s->sizes.unpacked));
    }
  } else if (!native_read_block(&s->n, out, static_cast<uint8_t*>(s->scratch.get()), &got)) {
    got = 0;
  }
  s->left -= got;
  return got;
}

int source_end(MemberData data) {
  MemberSource* s = data.release_ownership();
  return s && s->zip ? zip_member_close(&s->z) : 1;
}

void source_abandon(MemberSource* s) {
  if (s->zip) zip_member_abandon(&s->z);
}

uint64_t source_deliverable(const MemberSource& s) {
  if (s.zip) {
    const uint64_t stored = s.z.member.compressed_size;
    return s.z.member.method == 0 ? stored : stored * kDeflateRatio + kDeflateRatio;
  }
  const uint64_t data = s.header.record_length - kHeaderSize;
  return data / kMinBlockRecord * kBlockSize;
}

}  // namespace lumra::files
