// The raster image: a small fixed record that owns a pixel buffer in one of six formats (rows top
// down, each `stride` bytes, no gaps) and an optional palette of colour values. Its first six
// fields are the 16-byte stored header of serialised images; sides are limited to 0..65536.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/base/owned.h"

namespace lumra::image {

enum PixelFormat : uint8_t {
  Mono1 = 0,     // 1 bit, most significant first: 0 black, 1 white
  Gray4 = 1,     // 4 bits, high nibble first: level 0..15
  Gray8 = 2,     // 8 bits: level 0..255
  Indexed4 = 3,  // 4 bits, high nibble first: palette index
  Indexed8 = 4,  // 8 bits: palette index
  Rgb32 = 5,     // bytes red, green, blue, a fourth byte drawing ignores
};
inline constexpr int32_t kFormatCount = 6;

inline constexpr int32_t kMaxSide = 65536;
inline constexpr size_t kHeaderSize = 16;

// Colour value: red in bits 0-7, green 8-15, blue 16-23 (a COLORREF).
inline constexpr uint32_t colour_value(uint32_t red, uint32_t green, uint32_t blue) {
  return (red & 255) | (green & 255) << 8 | (blue & 255) << 16;
}

// Fields in the order of the stored header (format, flags, reserved, width, height, paletteCount
// at offsets 0, 1, 2, 6, 10 and 14 of a stream), but naturally aligned in memory: a packed record
// would make every reference to its width or height a misaligned access. The header crosses
// streams only through image_header_store and the loader, byte by byte.
struct Image {
  uint8_t format;           // PixelFormat
  uint8_t flags;            // bits 0-1 storage mode, bits 2-5 transparency mode (both signed)
  uint8_t reserved[4];      // zero
  uint32_t width;
  uint32_t height;
  int16_t paletteCount;     // 0: no palette
  uint32_t* palette;        // paletteCount colour values (framework heap)
  uint8_t* pixels;          // height * stride bytes (framework heap)
  int32_t stride;
  uint32_t fastStretch;     // non-zero: shrinking takes the fast path too
  uint32_t transparentIndex;
  uint32_t keyColour;
  int32_t* ditherCache;     // 64 colour numbers per palette entry, only during a drawing
  int32_t* colourCache;     // one colour number per palette entry, likewise
};

inline constexpr int32_t kStorageRaw = 0;
inline constexpr int32_t kStorageRowBlocks = 1;
inline constexpr int32_t kStorageBandBlocks = -2;

// The flag fields as signed values: storage -2..1, transparency -8..7.
inline int32_t storage_mode(const Image* img) {
  const int32_t v = img->flags & 3;
  return v >= 2 ? v - 4 : v;
}
inline int32_t transparency_mode(const Image* img) {
  const int32_t v = img->flags >> 2 & 15;
  return v >= 8 ? v - 16 : v;
}
inline void set_transparency_mode(Image* img, int32_t mode) {
  img->flags = static_cast<uint8_t>((img->flags & ~0x3C) | (mode & 15) << 2);
}

// Bytes per row of `width` pixels in `format` (0 for a format outside 0..5).
int64_t image_stride(int32_t format, int64_t width);
// Palette entries a format can index: 2, 16 or 256; 0 for Rgb32.
int32_t format_entries(int32_t format);
bool is_palette_format(int32_t format);

// Zeroes the record.
void image_create(Image* img);
// A zeroed record on the framework heap (destroy it with release bit 0 set); null without memory.
Image* image_new();
// Releases pixels, palette and both caches; the record stays usable as an empty image.
void image_free(Image* img);
// image_free, then the record itself when bit 0 of `release` is set.
void image_destroy(Image* img, int32_t release);

// Releases the buffers of an image record when it goes out of scope; the record itself is the
// holder's (a local working image, say), so it may be filled and refilled meanwhile.
using HeldImage = base::Owned<Image*, image_free>;

// The image is expected empty. 0 when a side lies outside 0..kMaxSide, the format outside 0..5 or
// memory runs out (the palette and pixels then released). Pixel contents are unspecified.
int image_allocate(Image* img, int32_t format, int32_t width, int32_t height, int32_t palette_count,
                   const uint32_t* palette, int32_t transparency, int32_t storage);
// Replaces whatever `dst` held by a copy of `src` (format, size, palette, flags, keyColour,
// transparentIndex, pixels). 0 when the source has no pixels.
int image_copy(Image* dst, const Image* src);
int image_is_valid(const Image* img);

// Bit, nibble, byte or colour value by format; outside the image nothing happens.
void image_set_pixel(Image* img, int32_t x, int32_t y, uint32_t value);
// 1 and the raw value, or 0 outside the image.
int image_get_pixel(const Image* img, int32_t x, int32_t y, uint32_t* value);
// As image_get_pixel plus the colour it is drawn in; for Rgb32 the raw value is the nearest window
// colour number.
int image_get_pixel_colour(const Image* img, int32_t x, int32_t y, uint32_t* raw, uint32_t* colour);
// The colour a palette-format pixel value is drawn in: the palette's entry when it has one, else
// the format's own (black/white, the gray ramp, the window's standard colours).
uint32_t entry_colour(const Image* img, uint32_t value);

// Mono1: 0 or all ones; 4-bit: value & 15 in both nibbles; 8-bit: the byte. Rgb32 is left alone.
void image_fill(Image* img, uint32_t value);
// Rgb32 only: every pixel becomes `colour`.
void image_fill_rgb(Image* img, uint32_t colour);

}  // namespace lumra::image
