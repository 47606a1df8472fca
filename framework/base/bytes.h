// Little- and big-endian loads and stores, and the bounded cursor every reader of untrusted bytes uses.
// A cursor read that would pass the end fails and leaves the cursor where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumra::base {

inline uint16_t load_u16le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t load_u32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t load_u16be(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t load_u32be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void store_u16le(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store_u16be(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void store_u32le(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

struct ByteCursor {
  const uint8_t* p = nullptr;
  size_t left = 0;
};

inline ByteCursor make_cursor(const void* data, size_t size) {
  return ByteCursor{static_cast<const uint8_t*>(data), size};
}

[[nodiscard]] inline bool cursor_skip(ByteCursor& c, size_t n) {
  if (n > c.left) return false;
  c.p += n;
  c.left -= n;
  return true;
}

[[nodiscard]] inline bool cursor_read(ByteCursor& c, void* out, size_t n) {
  if (n > c.left) return false;
  if (n) std::memcpy(out, c.p, n);
  c.p += n;
  c.left -= n;
  return true;
}

[[nodiscard]] inline bool cursor_u8(ByteCursor& c, uint8_t* out) {
  if (c.left < 1) return false;
  *out = *c.p++;
  c.left--;
  return true;
}

[[nodiscard]] inline bool cursor_u16le(ByteCursor& c, uint16_t* out) {
  if (c.left < 2) return false;
  *out = load_u16le(c.p);
  c.p += 2;
  c.left -= 2;
  return true;
}

[[nodiscard]] inline bool cursor_u32le(ByteCursor& c, uint32_t* out) {
  if (c.left < 4) return false;
  *out = load_u32le(c.p);
  c.p += 4;
  c.left -= 4;
  return true;
}

[[nodiscard]] inline bool cursor_u16be(ByteCursor& c, uint16_t* out) {
  if (c.left < 2) return false;
  *out = load_u16be(c.p);
  c.p += 2;
  c.left -= 2;
  return true;
}

[[nodiscard]] inline bool cursor_u32be(ByteCursor& c, uint32_t* out) {
  if (c.left < 4) return false;
  *out = load_u32be(c.p);
  c.p += 4;
  c.left -= 4;
  return true;
}

}  // namespace lumra::base
