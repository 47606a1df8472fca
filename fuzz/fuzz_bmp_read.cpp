// BMP reader on hostile bytes.
#include <cstdint>

#include "framework/image/bmp_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  uint8_t header[kBmpHeaderSize];
  fuzz::check_and_free(&img, read_bmp_memory(header, &img, data, size));
  return 0;
}
