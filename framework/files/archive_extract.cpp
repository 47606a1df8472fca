// Extraction (actions 3 and 4) into files and action -1 into memory. Data streams through one
// write buffer: memory stays bounded whatever sizes the archive claims, and a member that fails
// for any reason leaves no partial file behind.
#include <algorithm>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/files/archive_internal.h"
#include "framework/files/dos_time.h"
#include "framework/files/inflate_thread.h"
#include "framework/files/safe_extract.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// First allocation for a member read into memory; it grows as the data really arrives.
constexpr size_t kMemoryStart = 1 << 20;

// Writes a member's bytes at their places in the output, leaving a hole for every aligned block
// of zeros (where the file system allows, such blocks then take no room; the contents read back
// the same).
struct SparseWriter {
  const OutputFile& out;
  uint64_t offset = 0;
  bool ends_in_hole = false;
};
constexpr size_t kHoleBlock = 64 * 1024;

bool all_zero(const uint8_t* p, size_t n) { return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0); }

bool write_failed(const OutputFile& out, sys::Status why, bool* no_space) {
  if (sys::is_disk_full(why)) *no_space = true;
  return failf("cannot write %s: %s", out.path.c_str(), sys::describe(why));
}

bool write_out(SparseWriter& w, const uint8_t* p, size_t n, bool* no_space) {
  while (n > 0) {
    // Runs of data between holes go out in one write each.
    size_t run = 0;
    while (run < n) {
      const size_t room = kHoleBlock - static_cast<size_t>((w.offset + run) % kHoleBlock);
      const size_t block = room < n - run ? room : n - run;
      if (block == kHoleBlock && all_zero(p + run, block)) break;
      run += block;
    }
    if (run > 0) {
      if (const sys::Status written = sys::write_all_at(w.out.fd.get(), w.offset, p, run); !sys::ok(written)) {
        return write_failed(w.out, written, no_space);
      }
      w.offset += run;
      p += run;
      n -= run;
      w.ends_in_hole = false;
    }
    if (n > 0) {  // a block of zeros
      w.offset += kHoleBlock;
      p += kHoleBlock;
      n -= kHoleBlock;
      w.ends_in_hole = true;
    }
  }
  return true;
}

// A file ending in a hole gets its length.
bool finish_out(SparseWriter& w, bool* no_space) {
  if (!w.ends_in_hole) return true;
  const sys::Status sized = sys::resize(w.out.fd.get(), w.offset);
  return sys::ok(sized) || write_failed(w.out, sized, no_space);
}

bool set_member_time(const MemberSource& s, const OutputFile& out) {
  const sys::FileTime modified{unix_from_dos_time(s.header.dos_time), 0};
  if (const sys::Status set = sys::set_times(out.fd.get(), nullptr, &modified); !sys::ok(set)) {
    return failf("cannot set the time of %s: %s", out.path.c_str(), sys::describe(set));
  }
  return true;
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
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0, 0, &s.sizes)) return false;
  MemberData data = source_begin(&s);
  if (!data) return false;
  SparseWriter w{out};
  size_t used = 0;
  int64_t done = 0;
  while (s.left > 0) {
    if (kWriteBufferSize - used < kBlockSize) {
      if (!write_out(w, buffer, used, no_space)) return false;
      used = 0;
    }
    const uint32_t got = read_piece(c, s, buffer + used, kWriteBufferSize - used);
    if (got == 0) return false;
    used += got;
    done += got;
    if (!report_member(c, s.header, s.name.c_str(), c.action, done, 0, &s.sizes)) return false;
  }
  if (!write_out(w, buffer, used, no_space) || !finish_out(w, no_space)) return false;
  if (!source_end(std::move(data))) return false;
  return set_member_time(s, out);
}

// The same with the member's data inflated by a helper thread: pieces of up to 1 MiB, each
// reported in blocks of 16,384 bytes as a read of its own would be; the helper checks the CRC.
bool extract_piped(const Command& c, MemberSource& s, InflateThread& helper, uint64_t member, const OutputFile& out,
                   bool* no_space) {
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0, 0, &s.sizes)) {
    helper.skip(member);
    return false;
  }
  SparseWriter w{out};
  const auto member_size = static_cast<int64_t>(s.sizes.unpacked);
  int64_t arrived = 0;  // bytes the helper has handed over
  int64_t done = 0;     // bytes reported
  for (;;) {
    Piece piece = helper.next();
    if (piece.member != member) return fail("the inflating thread lost its place");
    if (piece.last && !piece.ok) {
      // The stream cannot be read again: a callback asking to retry sees the block fail again.
      while (c.progress) {
        ProgressInfo info{};
        info.action = c.action;
        if (!c.progress(kProgressRetry, c.data, info)) break;
      }
      return fail(piece.reason.c_str());
    }
    if (piece.last) break;  // checked out: sizes and CRC
    const bool written = write_out(w, piece.data, piece.length, no_space);
    helper.give_back(piece);
    if (!written) {
      helper.skip(member);
      return false;
    }
    // Pieces need not start on a block boundary (small members share the helper's buffers): the
    // reports follow the member's own blocks, a short one only at its end.
    arrived += static_cast<int64_t>(piece.length);
    while (done < arrived) {
      const int64_t block_end = done + static_cast<int64_t>(kBlockSize);
      if (block_end > arrived && arrived != member_size) break;
      done = block_end < arrived ? block_end : arrived;
      if (!report_member(c, s.header, s.name.c_str(), c.action, done, 0, &s.sizes)) {
        helper.skip(member);
        return false;
      }
    }
  }
  return finish_out(w, no_space) && set_member_time(s, out);
}

// The inflating helpers and which of them has a member: the selected members go to them in turns.
struct HelperPair {
  InflateThread threads[2];
  std::vector<uint64_t> members;  // every selected member, ascending

  bool start(const char* archive, const std::vector<uint64_t>& selected) {
    members = selected;
    std::vector<uint64_t> share[2];
    for (size_t i = 0; i < selected.size(); ++i) share[i % 2].push_back(selected[i]);
    if (!threads[0].start(archive, share[0])) return false;
    return share[1].empty() || threads[1].start(archive, share[1]);
  }
  InflateThread& of(uint64_t member) {
    const auto at = std::lower_bound(members.begin(), members.end(), member);
    return threads[static_cast<size_t>(at - members.begin()) % 2];
  }
};

// Action -1: the member's data into a heap block of exactly its unpacked size.
int extract_to_memory(Command& c, MemberSource& s, uint8_t* buffer) {
  if (c.header_out) *c.header_out = s.header;
  const uint64_t claimed = s.sizes.unpacked;
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
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0, 0, &s.sizes)) return 0;
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
    if (!report_member(c, s.header, s.name.c_str(), c.action, static_cast<int64_t>(done), 0, &s.sizes)) return 0;
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
  std::vector<uint64_t> selected;
  if (!check_archive(c, c.archive, c.format, purpose, &selected)) return 0;
  // Zip members to files inflate on the other cores while this thread writes: two helpers take
  // the selected members in turns (inflating is the larger share of the work, and one helper
  // alone keeps this thread waiting). Helpers that cannot start leave the work to this thread.
  HelperPair helpers;
  const bool piped = c.format == kFormatZip && purpose == CheckFor::kFiles && !selected.empty() &&
                     inflate_thread_helps() && helpers.start(c.archive.c_str(), selected);
  MemberSource s;
  if (!source_open(&s, c.archive.c_str(), c.format, c.key, true)) return 0;
  OutputTree tree;
  uint64_t index = 0;
  for (;;) {
    const MemberStep got = source_next(&s);
    if (got == MemberStep::kError) return 0;
    // Action -1 promises a member: an empty slot must not pass for an empty member.
    if (got == MemberStep::kEnd) return c.action == kActionToMemory ? fail("no member matches the selection") : 1;
    ++index;
    const int entry = selection_find(c.entries, s.name);
    if (entry < 0) continue;
    if (!member_name_safe(s.name)) return 0;
    if (c.action == kActionToMemory) return extract_to_memory(c, s, buffer);
    const OutputName where = selection_output(c.entries[static_cast<size_t>(entry)], c.action, s.name);
    OutputFile out;
    bool no_space = false;
    if (!output_create(&tree, where.root, where.relative, &out, &no_space)) {
      if (!pass_over(c, out, no_space)) return 0;
      if (piped) helpers.of(index).skip(index);
      continue;
    }
    if (!out.fd) {  // a folder member: its folder now exists
      if (piped) helpers.of(index).skip(index);
      continue;
    }
    const bool ok = piped ? extract_piped(c, s, helpers.of(index), index, out, &no_space)
                          : extract_data(c, s, buffer, out, &no_space);
    const sys::Status closed = out.fd.close();
    if (!ok || !sys::ok(closed)) {
      if (ok) failf("cannot write %s: %s", out.path.c_str(), sys::describe(closed));
      output_discard(&tree, &out);
      return 0;
    }
  }
}

}  // namespace lumra::files
