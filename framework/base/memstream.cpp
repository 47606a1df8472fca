// Memory streams: the owned buffer grown to powers of two, the bounded and unbounded views, and
// packed blocks expanded on the way in. Every failing call records its reason.
#include "framework/base/memstream.h"

#include <climits>
#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/packed.h"

namespace lumra::base {
namespace {

// Replaces the owned buffer (holding a whole packed block) by its expansion when the block
// expands cleanly; otherwise the stream keeps the block as it was, and the reason is returned
// (null on success) for the callers to whom it is a failure.
const char* expand_in_place(MemStream* s) {
  PackedHeader h{};
  if (!packed_header_parse(s->data, s->size, &h) || h.packed_length > s->size) {
    return "packed block header is not valid";
  }
  if (!packed_expansion_plausible(h)) return "packed block claims more than its data can expand to";
  auto* out = static_cast<uint8_t*>(heap_alloc(h.expanded_length));
  if (!out) return "out of memory for the expanded block";
  if (!packed_decode(h, s->data, out)) {
    heap_free(out);
    return "packed block does not expand cleanly";
  }
  heap_free(s->data);
  s->data = out;
  s->size = s->capacity = h.expanded_length;
  s->position = 0;
  return nullptr;
}

}  // namespace

void stream_setup(MemStream* s) { *s = MemStream{}; }

int stream_open_memory(MemStream* s, const void* bytes, int32_t length) {
  *s = MemStream{};
  const auto* b = static_cast<const uint8_t*>(bytes);
  PackedHeader h{};
  const bool known_length = length > static_cast<int32_t>(kPackedHeaderSize);
  // With a known length the block must lie inside it; length 0 means the caller vouches for
  // the bytes behind the header (data linked into the program).
  if ((length == 0 || known_length) && packed_header_parse(b, kPackedHeaderSize, &h) &&
      (!known_length || h.packed_length <= static_cast<uint32_t>(length))) {
    const uint32_t copy = known_length ? static_cast<uint32_t>(length) : h.packed_length;
    if (!stream_reserve(s, copy)) return 0;
    std::memcpy(s->data, b, copy);
    s->size = copy;
    (void)expand_in_place(s);  // a block that does not expand is kept as it is
    return 1;
  }
  s->data = const_cast<uint8_t*>(b);
  s->size = static_cast<uint32_t>(length);
  s->view = true;
  return 1;
}

void stream_release(MemStream* s) {
  if (!s->view) heap_free(s->data);
  *s = MemStream{};
}

int stream_reserve(MemStream* s, uint32_t n) {
  if (s->view) return fail("a view of memory cannot grow");
  if (n <= s->capacity) return 1;
  uint32_t capacity = 0;
  if (n > kStreamMaxCapacity || !next_power_of_two(n, &capacity)) return fail("memory stream above 2 GiB");
  void* data = heap_realloc(s->data, capacity);
  if (!data) return fail("out of memory for the memory stream");
  s->data = static_cast<uint8_t*>(data);
  s->capacity = capacity;
  return 1;
}

int64_t stream_remaining(const MemStream* s) {
  if (stream_unbounded(s)) return INT32_MAX;
  const int64_t left = static_cast<int64_t>(s->size) - s->position;
  return left > 0 ? left : 0;
}

int stream_read(MemStream* s, void* destination, int32_t n) {
  if (n == 0) return 1;
  if (n < 0) return fail("negative length to read from a memory stream");
  if (!stream_unbounded(s) && static_cast<int64_t>(s->position) + n > static_cast<int64_t>(s->size)) {
    return fail("memory stream ends before the bytes asked for");
  }
  if (static_cast<int64_t>(s->position) + n > INT32_MAX) return fail("read past 2 GiB in a memory stream");
  std::memcpy(destination, s->data + s->position, static_cast<size_t>(n));
  s->position += n;
  return 1;
}

int stream_write(MemStream* s, const void* source, int32_t n) {
  if (s->view) return fail("a view of memory is read-only");
  if (n == 0) return 1;
  if (n < 0) return fail("negative length to write to a memory stream");
  const int64_t end = static_cast<int64_t>(s->position) + n;
  if (end > INT32_MAX) return fail("memory stream above 2 GiB");
  if (!stream_reserve(s, static_cast<uint32_t>(end))) return 0;
  std::memcpy(s->data + s->position, source, static_cast<size_t>(n));
  if (static_cast<uint32_t>(end) > s->size) s->size = static_cast<uint32_t>(end);
  s->position = static_cast<int32_t>(end);
  return 1;
}

int stream_seek(MemStream* s, int32_t offset, int whence) {
  int64_t target = 0;
  if (whence == 0) target = offset;
  else if (whence == 1) target = static_cast<int64_t>(s->position) + offset;
  else return fail("memory streams seek from the start (0) or the position (1) only");
  if (target < 0 || target > INT32_MAX) return fail("seek outside the memory stream");
  if (target > static_cast<int64_t>(s->size) && !stream_unbounded(s)) {
    return fail("seek past the end of the memory stream");
  }
  s->position = static_cast<int32_t>(target);
  return 1;
}

int stream_read_file(MemStream* s, std::FILE* file, int32_t n) {
  if (!file) return fail("no file to read into the memory stream");
  if (s->view) return fail("a view of memory is read-only");
  if (n < 0) {
    if (std::fseek(file, 0, SEEK_END) != 0) return fail("the file's length cannot be found");
    const long length = std::ftell(file);
    if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return fail("the file's length cannot be found");
    if (length > INT32_MAX) return fail("file above 2 GiB for a memory stream");
    n = static_cast<int32_t>(length);
  }
  if (n == 0) return 1;
  const int64_t end = static_cast<int64_t>(s->position) + n;
  if (end > INT32_MAX) return fail("memory stream above 2 GiB");
  if (!stream_reserve(s, static_cast<uint32_t>(end))) return 0;

  uint8_t* at = s->data + s->position;
  size_t want = static_cast<size_t>(n);
  size_t got = 0;
  if (s->position == 0 && n > static_cast<int32_t>(kPackedHeaderSize)) {
    got = std::fread(at, 1, kPackedHeaderSize, file);
    PackedHeader h{};
    // A header that claims more than the caller asked to read is ordinary data.
    if (got == kPackedHeaderSize && packed_header_parse(at, got, &h) &&
        h.packed_length <= static_cast<uint32_t>(n)) {
      got += std::fread(at + got, 1, h.packed_length - got, file);
      if (got > s->size) s->size = static_cast<uint32_t>(got);
      if (got != h.packed_length) return fail("file ends inside its packed block");
      s->size = h.packed_length;
      if (const char* why = expand_in_place(s)) return fail(why);
      return 1;
    }
  }
  if (got < want) got += std::fread(at + got, 1, want - got, file);
  const uint32_t covered = static_cast<uint32_t>(s->position) + static_cast<uint32_t>(got);
  if (covered > s->size) s->size = covered;
  return got == want ? 1 : fail("file ends before the bytes asked for");
}

int stream_write_file(const MemStream* s, std::FILE* file) {
  if (!file) return fail("no file to write the memory stream to");
  if (s->size == 0) return 1;
  if (stream_unbounded(s)) return fail("an unbounded view has no size to write");
  if (std::fwrite(s->data, 1, s->size, file) != s->size) return fail("memory stream not written to the file");
  return 1;
}

}  // namespace lumra::base
