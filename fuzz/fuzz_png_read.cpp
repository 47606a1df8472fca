// PNG reader on hostile bytes, with and without a background colour (the compositing path).
#include <cstdint>

#include "framework/image/png_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  float res[2] = {0, 0};
  const uint32_t white = 0xFFFFFF;
  fuzz::check_and_free(&img, read_png_memory(res, &img, data, size, size & 1 ? &white : nullptr));
  return 0;
}
