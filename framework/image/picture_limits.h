// Limits every picture reader applies before it allocates: the largest pixel count a file may
// claim (sides are limited to 65536 by the image record itself). Adjustable for tests and fuzzers;
// the default is the figure documented with the readers.
#pragma once

#include <cstdint>

namespace lumra::image {

// 2^27 pixels (a 16384 x 8192 picture, 512 MiB as Rgb32). Between libpng's default user limits
// (1,000,000 per side, no pixel count) and stb_image's 2^24 per side; a side is at most 65536 here.
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 27;

// Progressive JPEG files with more scans than this are refused: each scan costs a pass over
// the whole coefficient buffer, so a small file could otherwise keep the decoder busy for minutes.
inline constexpr int32_t kMaxJpegScans = 256;

struct PictureLimits {
  int64_t max_pixels;      // width x height above this is refused before anything is allocated
  int32_t max_jpeg_scans;  // more scans than this in a JPEG file are refused
};
extern PictureLimits g_picture_limits;

// Back to kMaxPicturePixels and kMaxJpegScans.
void picture_limits_reset();

// True when a width x height picture may be allocated: both sides 1..65536 and the count within
// the limit. Records the reason on failure.
bool picture_size_allowed(int64_t width, int64_t height);

}  // namespace lumra::image
