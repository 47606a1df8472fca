// Memory stream: a growable byte buffer with a position, or a read-only view of memory the
// stream does not own. Opening over memory or reading a file expands a packed block transparently.
// An unbounded view (size 0 or negative as signed) trusts its caller about the memory behind it;
// it exists for data linked into the program.
#pragma once

#include <cstdint>
#include <cstdio>

namespace lumra::base {

struct MemStream {
  uint8_t* data;
  uint32_t size;      // valid bytes; for a view, 0 or negative (as signed) means unbounded
  uint32_t capacity;  // allocated bytes of an owned buffer: 0 or a power of two
  int32_t position;
  bool view;
};

// Largest owned buffer: the format's sizes are signed 32-bit.
inline constexpr uint32_t kStreamMaxCapacity = 0x80000000u;

void stream_setup(MemStream* s);
// A length of 0 or -1 (unknown: unbounded view) or one over 16 that starts with a valid packed
// block is expanded into an owned copy; anything else becomes a view of the bytes.
int stream_open_memory(MemStream* s, const void* bytes, int32_t length);
void stream_release(MemStream* s);
int stream_reserve(MemStream* s, uint32_t n);
int stream_read(MemStream* s, void* destination, int32_t n);
int stream_write(MemStream* s, const void* source, int32_t n);
int stream_seek(MemStream* s, int32_t offset, int whence);
inline int32_t stream_tell(const MemStream* s) { return s->position; }
inline int stream_rewind(MemStream* s) { return stream_seek(s, 0, 0); }
// Reads n bytes (n < 0: the whole file) at the position; a packed block at the start of an
// empty stream is expanded. The position does not move.
int stream_read_file(MemStream* s, std::FILE* file, int32_t n);
int stream_write_file(const MemStream* s, std::FILE* file);

inline bool stream_unbounded(const MemStream* s) { return s->view && static_cast<int32_t>(s->size) <= 0; }
// Bytes a read at the position can still deliver (INT32_MAX for an unbounded view).
int64_t stream_remaining(const MemStream* s);

}  // namespace lumra::base
