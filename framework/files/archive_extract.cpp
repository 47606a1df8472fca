// Extraction (actions 3 and 4) into files and action -1 into memory. Data streams through one
// write buffer: memory stays bounded whatever sizes the archive claims, and a member that fails
// for any reason leaves no partial file behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/archive_internal.h"
#include "framework/files/dos_time.h"
#include "framework/files/safe_extract.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// First allocation for a member read into memory; it grows as the data really arrives.
constexpr size_t kMemoryStart = 1 << 20;

bool write_all(int fd, const uint8_t* p, size_t n, const std::string& path, bool* no_space) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (errno == ENOSPC) *no_space = true;
      return failf("cannot write %s: %s", path.c_str(), std::strerror(errno));
    }
    p += w;
    n -= static_cast<size_t>(w);
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
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0)) return false;
  if (!source_begin(&s)) return false;
  size_t used = 0;
  int64_t done = 0;
  while (s.left > 0) {
    if (kWriteBufferSize - used < kBlockSize) {
      if (!write_all(out.fd, buffer, used, out.path, no_space)) return source_abandon(&s), false;
      used = 0;
    }
    const uint32_t got = read_piece(c, s, buffer + used, kWriteBufferSize - used);
    if (got == 0) return source_abandon(&s), false;
    used += got;
    done += got;
    if (!report_member(c, s.header, s.name.c_str(), c.action, done)) return source_abandon(&s), false;
  }
  if (!write_all(out.fd, buffer, used, out.path, no_space)) return source_abandon(&s), false;
  if (!source_end(&s)) return false;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {unix_from_dos_time(s.header.dos_time), 0}};
  if (futimens(out.fd, times) != 0) return failf("cannot set the time of %s: %s", out.path.c_str(), std::strerror(errno));
  return true;
}

// Action -1: the member's data into a heap block of exactly its unpacked size.
int extract_to_memory(Command& c, MemberSource& s, uint8_t* buffer) {
  if (c.header_out) *c.header_out = s.header;
  const uint64_t claimed = s.header.unpacked_size;
  const uint64_t deliverable = source_deliverable(s);
  if (claimed > deliverable) {
    return failf("member %s claims %llu bytes but its stored data can hold at most %llu", s.name.c_str(),
                 static_cast<unsigned long long>(claimed), static_cast<unsigned long long>(deliverable));
  }
  if (!report_member(c, s.header, s.name.c_str(), c.action, 0)) return 0;
  if (!source_begin(&s)) return 0;
  size_t capacity = claimed < kMemoryStart ? static_cast<size_t>(claimed) : kMemoryStart;
  uint8_t* data = capacity ? static_cast<uint8_t*>(base::heap_alloc(capacity)) : nullptr;
  if (capacity && !data) return source_abandon(&s), fail("no memory for the member");
  size_t done = 0;
  bool ok = true;
  while (ok && s.left > 0) {
    const uint32_t got = read_piece(c, s, buffer, kWriteBufferSize);
    if (got == 0) {
      ok = false;
      break;
    }
    if (done + got > capacity) {
      size_t grown = capacity * 2 > done + got ? capacity * 2 : done + got;
      if (grown > claimed) grown = static_cast<size_t>(claimed);
      auto* bigger = static_cast<uint8_t*>(base::heap_realloc(data, grown));
      if (!bigger) {
        ok = fail("no memory for the member");
        break;
      }
      data = bigger;
      capacity = grown;
    }
    std::memcpy(data + done, buffer, got);
    done += got;
    ok = report_member(c, s.header, s.name.c_str(), c.action, static_cast<int64_t>(done));
  }
  if (!ok || !source_end(&s)) {
    source_abandon(&s);
    base::heap_free(data);
    return 0;
  }
  *c.buffer_slot = data;
  return 1;
}

}  // namespace

int run_extract(Command& c) {
  if (c.action == kActionToMemory) {
    if (!c.buffer_slot) return fail("action -1 needs a buffer slot");
    *c.buffer_slot = nullptr;
  }
  auto* buffer = static_cast<uint8_t*>(base::heap_alloc(kWriteBufferSize));
  if (!buffer) return fail("no memory for the working buffer");
  MemberSource s{};
  if (!source_open(&s, c.archive.c_str(), c.format, c.key, true)) {
    base::heap_free(buffer);
    return 0;
  }
  OutputTree tree;
  int result = 1;
  for (;;) {
    const int got = source_next(&s);
    if (got < 0) result = 0;
    // Action -1 promises a member: an empty slot must not pass for an empty member.
    if (got == 0 && c.action == kActionToMemory) result = fail("no member matches the selection");
    if (got <= 0) break;
    const int index = selection_find(c.entries, s.name);
    if (index < 0) continue;
    if (!member_name_safe(s.name)) {
      result = 0;
      break;
    }
    if (c.action == kActionToMemory) {
      result = extract_to_memory(c, s, buffer);
      break;
    }
    const OutputName where = selection_output(c.entries[static_cast<size_t>(index)], c.action, s.name);
    OutputFile out;
    bool no_space = false;
    if (!output_create(&tree, where.root, where.relative, &out, &no_space)) {
      if (no_space || out.refused || !c.progress) {
        result = 0;
        break;
      }
      ProgressInfo info{};
      info.name = out.path.c_str();
      info.action = c.action;
      const std::string reason = base::last_error();
      if (c.progress(kProgressCannotCreate, c.data, info)) {
        result = fail(reason.c_str());
        break;
      }
      continue;
    }
    if (out.fd < 0) continue;  // a folder member: its folder now exists
    const bool ok = extract_data(c, s, buffer, out, &no_space);
    const int closed = close(out.fd);
    out.fd = -1;
    if (!ok || closed != 0) {
      if (ok) failf("cannot write %s: %s", out.path.c_str(), std::strerror(errno));
      output_discard(&tree, &out);
      result = 0;
      break;
    }
  }
  output_tree_close(&tree);
  source_close(&s);
  base::heap_free(buffer);
  return result;
}

}  // namespace lumra::files
