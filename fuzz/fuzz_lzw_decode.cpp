// LZW decoder on hostile input, and encoder/decoder round trips (see codec_fuzz.h).
#include "framework/base/lzw.h"
#include "fuzz/codec_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::base;
  static const lumra::fuzz::Codec kCodec{lzw_decode, lzw_encode, lzw_encode_bound, lzw_max_expansion};
  return lumra::fuzz::run_codec(kCodec, data, size);
}
