// The test walk reads members exactly as extraction does, through the same source, so a member
// that tests clean is one extraction can read; only the writing is left out.
#include "framework/files/archive_verify.h"

#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/archive_internal.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// Native reasons come from the block reader and do not say whose block it was; the zip binding's
// name their member already.
bool member_failed(const MemberSource& s) {
  if (s.zip) return false;
  const std::string reason = base::last_error();
  return failf("member %s: %s", s.name.c_str(), reason.c_str());
}

bool verify_member(const Command& c, MemberSource& s, uint8_t* buffer) {
  MemberData member = source_begin(&s);
  if (!member) return member_failed(s);
  uint64_t done = 0;
  while (s.left > 0) {
    if (!report_member(c, s.header, s.name.c_str(), kActionVerify, 0, static_cast<int64_t>(done), &s.sizes)) {
      return false;
    }
    const uint32_t got = source_read(&s, buffer, kWriteBufferSize);
    if (got == 0) return member_failed(s);
    done += got;
  }
  if (!source_end(std::move(member))) return member_failed(s);
  if (!s.zip && s.n.block_pos != s.n.record_end) {
    return failf("member %s: its record holds %llu bytes after the blocks of its %u bytes", s.name.c_str(),
                 static_cast<unsigned long long>(s.n.record_end - s.n.block_pos), s.header.unpacked_size);
  }
  return report_member(c, s.header, s.name.c_str(), kActionVerify, 1, 0, &s.sizes);
}

// After the last member: did the walk reach the end of the archive?
int walk_complete(const MemberSource& s) {
  if (s.zip) {
    // The walk stops at a name beginning below 32; the header then holds that name.
    if (s.z.index == 0 || static_cast<uint8_t>(s.header.name[0]) >= 32) return 1;
    const uint64_t after = s.z.declared > s.z.index ? s.z.declared - s.z.index : 0;
    return failf("the zip walk ends at central-directory entry %llu, whose name begins with a control character: "
                 "it and the %llu entries after it are not tested",
                 static_cast<unsigned long long>(s.z.index), static_cast<unsigned long long>(after));
  }
  if (s.n.next_record >= s.n.file_size) return 1;
  return failf("the %llu bytes from offset %llu on are no readable member record (a damaged header, or members "
               "scrambled with another key): they are not tested",
               static_cast<unsigned long long>(s.n.file_size - s.n.next_record),
               static_cast<unsigned long long>(s.n.next_record));
}

}  // namespace

int verify_archive(const char* archive, int count, const char* list, int key, ArchiveProgress progress, void* data,
                   int format) {
  if (!archive || !*archive) return fail("no archive named");
  if (count < 0 || (count > 0 && !list)) return fail("bad selection list");
  if (key < 0 || key > 255) return fail("scrambling key outside 0-255");
  Command c{};
  c.action = kActionVerify;
  c.archive = archive;
  if (!parse_selection(list, count, &c.entries)) return 0;
  c.key = static_cast<uint8_t>(key);
  c.progress = progress;
  c.data = data;
  c.format = format == kFormatZip || format == kFormatNative ? format : detect_archive_format(archive);
  const base::HeapBlock block(base::heap_alloc(kWriteBufferSize));
  if (!block) return fail("no memory for the working buffer");
  MemberSource s;
  if (!source_open(&s, archive, c.format, c.key, true)) return 0;
  for (;;) {
    const MemberStep got = source_next(&s);
    if (got == MemberStep::kError) return 0;
    if (got == MemberStep::kEnd) return walk_complete(s);
    if (count > 0 && selection_find(c.entries, s.name) < 0) continue;
    if (!verify_member(c, s, static_cast<uint8_t*>(block.get()))) return 0;
  }
}

}  // namespace lumra::files
