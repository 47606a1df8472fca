// JPEG reader on hostile bytes.
#include <cstdint>

#include "framework/image/jpeg_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  float x = 0, y = 0;
  fuzz::check_and_free(&img, read_jpeg_memory(&img, data, size, &x, &y));
  return 0;
}
