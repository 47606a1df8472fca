// LZW decoder on hostile input, and encoder/decoder round trips (see codec_fuzz.h); the same
// bytes also go through the old LSB-first decoder, held to its capacity and expansion bound.
#include <cstdlib>

#include "framework/base/lzw.h"
#include "fuzz/codec_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::base;
  static const lumra::fuzz::Codec kCodec{lzw_decode, lzw_encode, lzw_encode_bound, lzw_max_expansion};
  if (size >= 3) {
    const size_t capacity = (size_t{data[0]} | size_t{data[1]} << 8 | size_t{data[2]} << 16) % (lumra::fuzz::kMaxCapacity + 1);
    uint8_t* out = lumra::fuzz::allocate(capacity);
    size_t written = 0;
    lzw_decode_lsb_first(data + 3, size - 3, out, capacity, &written);
    if (written > capacity || written > lzw_lsb_first_max_expansion(size - 3)) std::abort();
    std::free(out);
  }
  return lumra::fuzz::run_codec(kCodec, data, size);
}
