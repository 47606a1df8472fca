// One block of the native archive format, which serialised images also store their rows in: a
// 6-byte little-endian header (method, unpacked length, stored length; a stored block's data is
// as long as its unpacked length) and the data, stored, run-length, LZW or zlib coded. Decoding
// is bounded by the unpacked length the caller has room for; nothing is read past the data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/base/memstream.h"

namespace lumra::base {

inline constexpr size_t kBlockHeaderSize = 6;

// Block methods as stored. LZW is read under 2, 4 and 8; 2 is what writers put down.
inline constexpr int kBlockStored = 0;
inline constexpr int kBlockRunLength = 1;
inline constexpr int kBlockLzw = 2;
inline constexpr int kBlockZlibDefault = 32;
inline constexpr int kBlockZlibFast = 64;
inline constexpr int kBlockZlibBest = 128;

// Decodes `length` bytes of block data stored by `method` into exactly `unpacked` bytes of `out`.
// False with a reason for an unknown method or data that does not decode to that size.
bool block_decode(uint32_t method, const uint8_t* data, uint32_t length, uint8_t* out, uint32_t unpacked);

// Reads one block (never scrambled) at a memory stream's position into `out`, which has room
// for `capacity` bytes: 1 with *produced > 0, or 0 with a reason, the stream then standing
// before the block. A block that would not fit `capacity` or runs past the stream is refused.
int stream_read_block(MemStream* s, uint8_t* out, uint32_t capacity, uint32_t* produced);

}  // namespace lumra::base
