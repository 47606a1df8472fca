// TIFF reader on hostile bytes; a picture that loads is read again onto a background colour, so
// that the flattening of alpha samples runs too.
#include <cstdint>

#include "framework/image/tiff_file.h"
#include "fuzz/fuzz_picture_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::image;
  fuzz::prepare();
  Image img{};
  TiffDescription d{};
  const int ok = read_tiff_memory(&d, &img, data, size);
  fuzz::check_and_free(&img, ok);
  if (ok) {
    const uint32_t background = 0x604020;
    fuzz::check_and_free(&img, read_tiff_memory(&d, &img, data, size, &background));
  }
  return 0;
}
