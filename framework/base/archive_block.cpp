// Block decoding through the framework's own run-length and LZW decoders and zlib's one-shot
// uncompress, each bounded by the block's unpacked length.
#include "framework/base/archive_block.h"

#include <zlib.h>

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/lzw.h"
#include "framework/base/rle.h"

namespace lumra::base {

bool block_decode(uint32_t method, const uint8_t* data, uint32_t length, uint8_t* out, uint32_t unpacked) {
  bool ok = false;
  size_t written = 0;
  switch (method) {
    case kBlockStored:
      ok = length == unpacked;
      if (ok && unpacked) std::memcpy(out, data, unpacked);
      written = unpacked;
      break;
    case kBlockRunLength:
      ok = rle_decode(data, length, out, unpacked, &written);
      break;
    case 2:
    case 4:
    case 8:
      ok = lzw_decode(data, length, out, unpacked, &written);
      break;
    case kBlockZlibDefault:
    case kBlockZlibFast:
    case kBlockZlibBest: {
      uLongf produced = unpacked;
      ok = uncompress(out, &produced, data, length) == Z_OK;
      written = produced;
      break;
    }
    default:
      return failf("unknown block method %u", method);
  }
  if (!ok || written != unpacked) return failf("block (method %u) does not decode to its %u bytes", method, unpacked);
  return true;
}

int stream_read_block(MemStream* s, uint8_t* out, uint32_t capacity, uint32_t* produced) {
  *produced = 0;
  const int32_t start = stream_tell(s);
  uint8_t head[kBlockHeaderSize];
  if (!stream_read(s, head, sizeof head)) return fail("stream ends inside a block header");
  const uint16_t method = load_u16le(head);
  const uint16_t unpacked = load_u16le(head + 2);
  const uint32_t length = method == kBlockStored ? unpacked : load_u16le(head + 4);
  // The data is decoded where it lies: the stream's bytes are contiguous.
  if (unpacked == 0 || unpacked > capacity || stream_remaining(s) < length) {
    stream_seek(s, start, 0);
    return unpacked == 0 || unpacked > capacity ? failf("block of %u bytes does not fit its %u-byte place", unpacked, capacity)
                                                : fail("stream ends inside a block");
  }
  if (!block_decode(method, s->data + stream_tell(s), length, out, unpacked)) {
    stream_seek(s, start, 0);
    return 0;
  }
  stream_seek(s, static_cast<int32_t>(length), 1);
  *produced = unpacked;
  return 1;
}

}  // namespace lumra::base
