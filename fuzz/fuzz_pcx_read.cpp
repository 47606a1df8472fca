// PCX reader on hostile bytes.
#include <cstdint>

#include "framework/image/pcx_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  uint8_t header[kPcxHeaderSize];
  fuzz::check_and_free(&img, read_pcx_memory(header, &img, data, size));
  return 0;
}
