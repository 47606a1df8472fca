// Run-length decoder on hostile input, and encoder/decoder round trips (see codec_fuzz.h).
#include "framework/base/rle.h"
#include "fuzz/codec_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::base;
  static const lumra::fuzz::Codec kCodec{rle_decode, rle_encode, rle_encode_bound, rle_max_expansion};
  return lumra::fuzz::run_codec(kCodec, data, size);
}
