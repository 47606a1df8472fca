// Packed blocks: the header checked before anything trusts it, the expansion bounded by what the
// method can produce from the data, and encoding that gives up rather than store a larger block.
#include "framework/base/packed.h"

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/heap.h"
#include "framework/base/lzw.h"
#include "framework/base/rle.h"

namespace lumra::base {

bool packed_header_parse(const uint8_t* bytes, size_t available, PackedHeader* out) {
  if (!bytes || available < kPackedHeaderSize || load_u32le(bytes) != kPackedMagic) return false;
  PackedHeader h{load_u32le(bytes + 4), load_u32le(bytes + 8), bytes[13]};
  if (h.packed_length <= kPackedHeaderSize) return false;
  if (h.expanded_length <= kPackedHeaderSize || h.expanded_length >= kPackedMaxExpanded) return false;
  if (h.expanded_length - kPackedHeaderSize <= h.packed_length) return false;
  *out = h;
  return true;
}

bool packed_expansion_plausible(const PackedHeader& h) {
  const size_t data = h.packed_length - kPackedHeaderSize;
  switch (h.method) {
    case kPackedRunLength: return h.expanded_length <= rle_max_expansion(data);
    case kPackedLzw: return h.expanded_length <= lzw_max_expansion(data);
    default: return false;
  }
}

bool packed_decode(const PackedHeader& h, const uint8_t* block, uint8_t* out) {
  const uint8_t* data = block + kPackedHeaderSize;
  const size_t data_size = h.packed_length - kPackedHeaderSize;
  size_t written = 0;
  bool ok = false;
  switch (h.method) {
    case kPackedRunLength: ok = rle_decode(data, data_size, out, h.expanded_length, &written); break;
    case kPackedLzw: ok = lzw_decode(data, data_size, out, h.expanded_length, &written); break;
    default: return false;
  }
  return ok && written == h.expanded_length;
}

uint8_t* packed_encode(const uint8_t* data, uint32_t size, uint8_t method, uint32_t* block_size) {
  // A block is only valid when it is smaller than its content by more than a header's worth:
  // packed length <= size - 17, so the packed data gets at most size - 33 bytes.
  if (size <= 2 * kPackedHeaderSize + 1 || size >= kPackedMaxExpanded) return nullptr;
  const size_t capacity = size - 2 * kPackedHeaderSize - 1;
  auto* block = static_cast<uint8_t*>(heap_alloc(kPackedHeaderSize + capacity));
  if (!block) return nullptr;
  size_t written = 0;
  bool ok = false;
  if (method == kPackedRunLength) ok = rle_encode(data, size, block + kPackedHeaderSize, capacity, &written);
  if (method == kPackedLzw) ok = lzw_encode(data, size, block + kPackedHeaderSize, capacity, &written);
  if (!ok) {
    heap_free(block);
    return nullptr;
  }
  std::memset(block, 0, kPackedHeaderSize);
  const auto packed = static_cast<uint32_t>(kPackedHeaderSize + written);
  store_u32le(block, kPackedMagic);
  store_u32le(block + 4, packed);
  store_u32le(block + 8, size);
  block[13] = method;
  *block_size = packed;
  return block;
}

}  // namespace lumra::base
