// Serialised image streams on hostile input: the bytes are a memory stream the image is loaded
// from. A loaded image must hold exactly its rows; it is stored again and must read back the same,
// and is resampled small through a palette cache, so that every pixel is touched.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/base/memstream.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"
#include "framework/image/resample.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra;
  // A stream length of 0 means "unbounded" (data linked into the program): not for fuzz input.
  if (size == 0 || size > (1u << 20)) return 0;
  base::MemStream s{};
  base::stream_open_memory(&s, data, static_cast<int32_t>(size));
  image::Image img{};
  if (image::image_load_stream(&img, &s)) {
    const size_t bytes = static_cast<size_t>(img.stride) * img.height;
    if (img.width && img.height && !img.pixels) std::abort();
    if (img.pixels && img.stride != image::image_stride(img.format, img.width)) std::abort();
    if (img.pixels) {
      base::MemStream out{};
      base::stream_setup(&out);
      const int32_t storage = image::storage_mode(&img);
      if (image::image_save_stream(&img, &out, storage)) {
        base::stream_rewind(&out);
        image::Image again{};
        if (!image::image_load_stream(&again, &out)) std::abort();
        if (std::memcmp(again.pixels, img.pixels, bytes) != 0) std::abort();
        image::image_free(&again);
      }
      base::stream_release(&out);
      image::Image small{};
      if (static_cast<uint64_t>(img.width) * img.height <= (1u << 20))
        image::image_resample(&small, &img, image::kDrawColourDither, image::Indexed8, 0, 0, 7, 5, 0, 0, 0, 0, 0.3);
      image::image_free(&small);
    }
  }
  image::image_free(&img);
  base::stream_release(&s);
  return 0;
}
