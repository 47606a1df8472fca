// Extraction (actions 3 and 4) into files and action -1 into memory. Data streams through one
// write buffer: memory stays bounded whatever sizes the archive claims, and a member that fails
// for any reason leaves no partial file behind.
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/files/archive_internal.h"
#include "framework/files/dos_time.h"
#include "framework/files/safe_extract.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// First allocation for a member read into memory; it grows as the data really arrives.
constexpr size_t kMemoryStart = 1 << 20;

bool write_out(const OutputFile& out, const uint8_t* p, size_t n, bool* no_space) {
  const sys::Status written = sys::write_all(out.fd.get(), p, n);
  if (sys::ok(written)) return true;
  if (sys::is_disk_full(written)) *no_space = true;
  return failf("cannot write %s: %s", out.path.c_str(), sys::describe(written));
}

// Reads the next piece, asking the callback (code 1) whether to try again after a failure.
uint32_t read_piece(const Command& c, MemberSource& s, uint8_t* out, size_t room) {
  for (;;) {
    const uint32_t got = source_read(&s, out, room);
    if (got > 0 || !c.progress) return got;
    const std::string reason = base::last_error();
    ProgressInfo info{};
    info.action = c.action;
    if (!c.progress(kProgressRetry, c.data, info)) {
      base::fail(reason.c_str());
      return 0;
    }
  }
}

// Copies the member's data to the open output file. Returns false with a reason.
bool extract_data(const Command& c, MemberSource& s, uint8_t* buffer, const OutputFile& out, bool* no_space) {
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0)) return false;
  MemberData data = source_begin(&s);
  if (!data) return false;
  size_t used = 0;
  int64_t done = 0;
  while (s.left > 0) {
    if (kWriteBufferSize - used < kBlockSize) {
      if (!write_out(out, buffer, used, no_space)) return false;
      used = 0;
    }
    const uint32_t got = read_piece(c, s, buffer + used, kWriteBufferSize - used);
    if (got == 0) return false;
    used += got;
    done += got;
    if (!report_member(c, s.header, s.name.c_str(), c.action, done)) return false;
  }
  if (!write_out(out, buffer, used, no_space)) return false;
  if (!source_end(std::move(data))) return false;
  const sys::FileTime modified{unix_from_dos_time(s.header.dos_time), 0};
  if (const sys::Status set = sys::set_times(out.fd.get(), nullptr, &modified); !sys::ok(set)) {
    return failf("cannot set the time of %s: %s", out.path.c_str(), sys::describe(set));
  }
  return true;
}

// Action -1: the member's data into a heap block of exactly its unpacked size.
int extract_to_memory(Command& c, MemberSource& s, uint8_t* buffer) {
  if (c.header_out) *c.header_out = s.header;
  const uint64_t claimed = s.header.unpacked_size;
  const uint64_t limit = archive_memory_limit();
  if (claimed > limit) {
    return failf("refused: member %s claims %llu bytes, more than the %llu bytes allowed for reading into memory",
                 s.name.c_str(), static_cast<unsigned long long>(claimed), static_cast<unsigned long long>(limit));
  }
  const uint64_t deliverable = source_deliverable(s);
  if (claimed > deliverable) {
    return failf("member %s claims %llu bytes but its stored data can hold at most %llu", s.name.c_str(),
                 static_cast<unsigned long long>(claimed), static_cast<unsigned long long>(deliverable));
  }
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0)) return 0;
  MemberData member = source_begin(&s);
  if (!member) return 0;
  size_t capacity = claimed < kMemoryStart ? static_cast<size_t>(claimed) : kMemoryStart;
  base::HeapBlock data(capacity ? base::heap_alloc(capacity) : nullptr);
  if (capacity && !data) return fail("no memory for the member");
  size_t done = 0;
  while (s.left > 0) {
    const uint32_t got = read_piece(c, s, buffer, kWriteBufferSize);
    if (got == 0) return 0;
    if (done + got > capacity) {
      size_t grown = capacity * 2 > done + got ? capacity * 2 : done + got;
      if (grown > claimed) grown = static_cast<size_t>(claimed);
      void* bigger = base::heap_realloc(data.get(), grown);
      if (!bigger) return fail("no memory for the member");
      data.release_ownership();  // moved into `bigger` by the reallocation
      data.reset(bigger);
      capacity = grown;
    }
    std::memcpy(static_cast<uint8_t*>(data.get()) + done, buffer, got);
    done += got;
    if (!report_member(c, s.header, s.name.c_str(), c.action, static_cast<int64_t>(done))) return 0;
  }
  if (!source_end(std::move(member))) return 0;
  *c.buffer_slot = static_cast<uint8_t*>(data.release_ownership());
  return 1;
}

// Asks the callback (code 2) about an output that cannot be made: true to pass the member over.
bool pass_over(const Command& c, const OutputFile& out, bool no_space) {
  if (no_space || out.refused || !c.progress) return false;
  ProgressInfo info{};
  info.name = out.path.c_str();
  info.action = c.action;
  const std::string reason = base::last_error();
  if (!c.progress(kProgressCannotCreate, c.data, info)) {
    note_passed_over(reason);
    return true;
  }
  base::fail(reason.c_str());
  return false;
}

}  // namespace

int run_extract(Command& c) {
  if (c.action == kActionToMemory) {
    if (!c.buffer_slot) return fail("action -1 needs a buffer slot");
    *c.buffer_slot = nullptr;
  }
  const base::HeapBlock block(base::heap_alloc(kWriteBufferSize));
  if (!block) return fail("no memory for the working buffer");
  auto* const buffer = static_cast<uint8_t*>(block.get());
  const CheckFor purpose = c.action == kActionToMemory ? CheckFor::kMemory : CheckFor::kFiles;
  if (!check_archive(c, c.archive, c.format, purpose)) return 0;
  MemberSource s;
  if (!source_open(&s, c.archive.c_str(), c.format, c.key, true)) return 0;
  OutputTree tree;
  for (;;) {
    const MemberStep got = source_next(&s);
    if (got == MemberStep::kError) return 0;
    // Action -1 promises a member: an empty slot must not pass for an empty member.
    if (got == MemberStep::kEnd) return c.action == kActionToMemory ? fail("no member matches the selection") : 1;
    const int index = selection_find(c.entries, s.name);
    if (index < 0) continue;
    if (!member_name_safe(s.name)) return 0;
    if (c.action == kActionToMemory) return extract_to_memory(c, s, buffer);
    const OutputName where = selection_output(c.entries[static_cast<size_t>(index)], c.action, s.name);
    OutputFile out;
    bool no_space = false;
    if (!output_create(&tree, where.root, where.relative, &out, &no_space)) {
      if (pass_over(c, out, no_space)) continue;
      return 0;
    }
    if (!out.fd) continue;  // a folder member: its folder now exists
    const bool ok = extract_data(c, s, buffer, out, &no_space);
    const sys::Status closed = out.fd.close();
    if (!ok || !sys::ok(closed)) {
      if (ok) failf("cannot write %s: %s", out.path.c_str(), sys::describe(closed));
      output_discard(&tree, &out);
      return 0;
    }
  }
}

}  // namespace lumra::files
