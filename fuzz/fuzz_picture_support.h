// Shared by the picture reader fuzz targets: a lower pixel limit so one input stays fast, and a
// walk over every decoded byte so the sanitizer sees any row left outside the allocation.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "framework/image/image.h"
#include "framework/image/picture_limits.h"

namespace lumra::image::fuzz {

// 4 Mi pixels: large enough for every seed, small enough for thousands of runs a second.
inline constexpr int64_t kFuzzMaxPixels = int64_t{1} << 22;

inline void prepare() { g_picture_limits.max_pixels = kFuzzMaxPixels; }

// Reads every pixel byte and checks the record's own arithmetic; then releases the image.
inline void check_and_free(Image* img, int ok) {
  if (ok) {
    if (!img->pixels || img->width == 0 || img->height == 0 || img->format >= kFormatCount) std::abort();
    if (img->stride != image_stride(img->format, img->width)) std::abort();
    if (img->paletteCount < 0 || img->paletteCount > 256) std::abort();
    uint32_t sum = 0;
    const size_t n = static_cast<size_t>(img->stride) * img->height;
    for (size_t i = 0; i < n; ++i) sum += img->pixels[i];
    for (int32_t i = 0; i < img->paletteCount; ++i) sum += img->palette[i];
    volatile uint32_t sink = sum;
    (void)sink;
  }
  image_free(img);
}

}  // namespace lumra::image::fuzz
