// Resampling one image into another at a new size and format, with a brightness adjustment, and
// the brightness adjustment of a whole image built on it. Shrinking in both directions averages
// blocks of source pixels; anything else repeats each source pixel over its destination span.
#pragma once

#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

// Writes the source rectangle (0 sides: the rest of the source) into `dst` at dest_width x
// dest_height (0: the source's width or height). With a format 0..5 `dst` is allocated anew (its
// old buffers released; it may be `src` itself) and written at (0, 0); with format -1 it keeps its
// format and pixels and the source is written at (dest_x, dest_y), cut to its edges. Colour modes
// as for drawing (1-5; others match the nearest colour), brightness k: true-colour channels become
// floor(c * (1 + k) + 0.5) held to 0..255, gray levels follow their curves (0 changes nothing).
// 1, or 0 with a reason: no source pixels, a bad format, no destination pixels for -1, no memory.
int image_resample(Image* dst, const Image* src, int32_t colour_mode, int32_t format, int32_t dest_x, int32_t dest_y,
                   int32_t dest_width, int32_t dest_height, int32_t source_x, int32_t source_y, int32_t source_width,
                   int32_t source_height, double brightness);

// Indexed images: each palette entry's components scaled by 1 + k (an image without a palette of
// its own first gets a copy of the window's 16 or 256 colours); Rgb32: every pixel likewise, through
// image_resample; other formats are left as they are. 1, or 0 for an image without pixels.
int image_adjust_brightness(Image* img, double k);

}  // namespace lumra::image
