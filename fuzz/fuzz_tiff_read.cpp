// TIFF reader on hostile bytes.
#include <cstdint>

#include "framework/image/tiff_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  TiffDescription d{};
  fuzz::check_and_free(&img, read_tiff_memory(&d, &img, data, size));
  return 0;
}
