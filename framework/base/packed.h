// The framework's packed blocks: a 16-byte little-endian header (magic 0x43816723, packed length
// with header, expanded length, method at byte 13) followed by run-length or LZW data. Anything
// that is not a valid header is ordinary data, so readers can test blindly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

inline constexpr uint32_t kPackedMagic = 0x43816723;
inline constexpr size_t kPackedHeaderSize = 16;
inline constexpr uint32_t kPackedMaxExpanded = 0x40000000;
inline constexpr uint8_t kPackedRunLength = 1;
inline constexpr uint8_t kPackedLzw = 32;

struct PackedHeader {
  uint32_t packed_length;    // whole block, header included
  uint32_t expanded_length;
  uint8_t method;
};

// True when the first 16 of `available` bytes form a valid header (bounds as the format sets
// them: packed length > 16, 16 < expanded < 0x40000000, expanded − 16 > packed).
bool packed_header_parse(const uint8_t* bytes, size_t available, PackedHeader* out);

// Expands the packed data of a block whose header is `h` into `out` (capacity h.expanded_length).
// True only when the method is known and the decoder produced exactly the expanded length.
bool packed_decode(const PackedHeader& h, const uint8_t* block, uint8_t* out);

// True when the method could in principle produce h.expanded_length bytes from the packed data;
// callers check it before allocating for a header they cannot trust.
bool packed_expansion_plausible(const PackedHeader& h);

// Packs `size` bytes with `method` into a heap block (header included) when that makes them
// smaller; returns null otherwise. *block_size receives the block's length.
uint8_t* packed_encode(const uint8_t* data, uint32_t size, uint8_t method, uint32_t* block_size);

}  // namespace lumra::base
