// Shared body of the codec fuzz targets: the first three bytes give the output capacity (up to
// 1 MiB), the rest is decoded into a heap buffer of exactly that size, so any write past it is
// caught. The same bytes then go through encoder and decoder and must come back unchanged.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace lumra::fuzz {

struct Codec {
  bool (*decode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*);
  bool (*encode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*);
  size_t (*encode_bound)(size_t);
  uint64_t (*max_expansion)(size_t);
};

inline constexpr size_t kMaxCapacity = size_t{1} << 20;

// Exactly n bytes (malloc(0) included), so the sanitizer flags the first byte beyond.
inline uint8_t* allocate(size_t n) { return static_cast<uint8_t*>(std::malloc(n)); }

inline int run_codec(const Codec& codec, const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t capacity = (size_t{data[0]} | size_t{data[1]} << 8 | size_t{data[2]} << 16) % (kMaxCapacity + 1);
  const uint8_t* in = data + 3;
  const size_t in_size = size - 3;

  uint8_t* out = allocate(capacity);
  size_t written = 0;
  codec.decode(in, in_size, out, capacity, &written);
  if (written > capacity || written > codec.max_expansion(in_size)) std::abort();
  std::free(out);

  const size_t bound = codec.encode_bound(in_size);
  uint8_t* code = allocate(bound);
  size_t code_size = 0;
  if (!codec.encode(in, in_size, code, bound, &code_size) || code_size > bound) std::abort();
  uint8_t* back = allocate(in_size);
  if (!codec.decode(code, code_size, back, in_size, &written) || written != in_size ||
      (in_size && std::memcmp(back, in, in_size) != 0)) {
    std::abort();
  }
  std::free(back);
  std::free(code);
  return 0;
}

}  // namespace lumra::fuzz
