// The image record's life cycle and pixel access. Buffers come from the framework heap; every
// pixel access is checked against the image's own size, never trusted to the caller.
#include "framework/image/image.h"

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/colour.h"
#include "framework/image/colour_match.h"

namespace lumra::image {
namespace {

using base::fail;

bool inside(const Image* img, int32_t x, int32_t y) {
  return img->pixels && x >= 0 && y >= 0 && static_cast<uint32_t>(x) < img->width &&
         static_cast<uint32_t>(y) < img->height;
}

uint8_t* row_of(const Image* img, int32_t y) {
  return img->pixels + static_cast<size_t>(y) * static_cast<size_t>(img->stride);
}

size_t pixel_bytes(const Image* img) { return static_cast<size_t>(img->stride) * img->height; }

}  // namespace

int64_t image_stride(int32_t format, int64_t width) {
  switch (format) {
    case Mono1: return (width + 7) / 8;
    case Gray4:
    case Indexed4: return (width + 1) / 2;
    case Gray8:
    case Indexed8: return width;
    case Rgb32: return width * 4;
    default: return 0;
  }
}

int32_t format_entries(int32_t format) {
  switch (format) {
    case Mono1: return 2;
    case Gray4:
    case Indexed4: return 16;
    case Gray8:
    case Indexed8: return 256;
    default: return 0;
  }
}

bool is_palette_format(int32_t format) { return format >= Mono1 && format < Rgb32; }

void image_create(Image* img) { *img = Image{}; }

Image* image_new() { return static_cast<Image*>(base::heap_alloc_zeroed(1, sizeof(Image))); }

void image_free(Image* img) {
  base::heap_free(img->palette);
  base::heap_free(img->pixels);
  base::heap_free(img->ditherCache);
  base::heap_free(img->colourCache);
  img->palette = nullptr;
  img->pixels = nullptr;
  img->ditherCache = nullptr;
  img->colourCache = nullptr;
  // No stale count may outlive its palette.
  img->paletteCount = 0;
}

void image_destroy(Image* img, int32_t release) {
  if (!img) return;
  image_free(img);
  if (release & 1) base::heap_free(img);
}

int image_allocate(Image* img, int32_t format, int32_t width, int32_t height, int32_t palette_count,
                   const uint32_t* palette, int32_t transparency, int32_t storage) {
  if (format < 0 || format >= kFormatCount) return fail("unknown pixel format");
  if (width < 0 || width > kMaxSide || height < 0 || height > kMaxSide) return fail("image side outside 0..65536");
  img->palette = nullptr;
  img->paletteCount = 0;
  if (palette_count > 0 && palette) {
    if (palette_count > INT16_MAX) return fail("palette too large");
    img->palette = static_cast<uint32_t*>(base::heap_alloc(static_cast<size_t>(palette_count) * 4));
    if (!img->palette) {
      image_free(img);
      return fail("out of memory for the palette");
    }
    std::memcpy(img->palette, palette, static_cast<size_t>(palette_count) * 4);
    img->paletteCount = static_cast<int16_t>(palette_count);
  }
  img->width = static_cast<uint32_t>(width);
  img->height = static_cast<uint32_t>(height);
  img->flags = static_cast<uint8_t>((img->flags & 0xC0) | (transparency & 15) << 2 | (storage & 3));
  img->stride = static_cast<int32_t>(image_stride(format, width));
  const size_t bytes = static_cast<size_t>(img->stride) * static_cast<size_t>(height);
  img->pixels = nullptr;
  if (bytes) {
    img->pixels = static_cast<uint8_t*>(base::heap_alloc(bytes));
    if (!img->pixels) {
      image_free(img);
      return fail("out of memory for the pixels");
    }
  }
  img->format = static_cast<uint8_t>(format);
  img->ditherCache = nullptr;
  img->colourCache = nullptr;
  img->fastStretch = 0;
  return 1;
}

int image_copy(Image* dst, const Image* src) {
  if (!src->pixels) return fail("copy of an image without pixels");
  if (dst == src) return 1;
  image_free(dst);
  if (!image_allocate(dst, src->format, static_cast<int32_t>(src->width), static_cast<int32_t>(src->height),
                      src->paletteCount, src->palette, transparency_mode(src), storage_mode(src))) {
    return 0;
  }
  dst->flags = src->flags;
  dst->keyColour = src->keyColour;
  dst->transparentIndex = src->transparentIndex;
  std::memcpy(dst->pixels, src->pixels, pixel_bytes(src));
  return 1;
}

int image_is_valid(const Image* img) { return img->pixels && img->width && img->height ? 1 : 0; }

void image_set_pixel(Image* img, int32_t x, int32_t y, uint32_t value) {
  if (!inside(img, x, y)) return;
  uint8_t* row = row_of(img, y);
  switch (img->format) {
    case Mono1: {
      const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>(value & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case Gray4:
    case Indexed4: {
      uint8_t& b = row[x >> 1];
      b = static_cast<uint8_t>(x & 1 ? (b & 0xF0) | (value & 15) : (b & 0x0F) | (value & 15) << 4);
      break;
    }
    case Gray8:
    case Indexed8: row[x] = static_cast<uint8_t>(value); break;
    case Rgb32: base::store_u32le(row + static_cast<size_t>(x) * 4, value); break;
    default: break;
  }
}

int image_get_pixel(const Image* img, int32_t x, int32_t y, uint32_t* value) {
  if (!inside(img, x, y)) return 0;
  const uint8_t* row = row_of(img, y);
  switch (img->format) {
    case Mono1: *value = row[x >> 3] >> (7 - (x & 7)) & 1; break;
    case Gray4:
    case Indexed4: *value = x & 1 ? row[x >> 1] & 15u : static_cast<uint32_t>(row[x >> 1] >> 4); break;
    case Gray8:
    case Indexed8: *value = row[x]; break;
    case Rgb32: *value = base::load_u32le(row + static_cast<size_t>(x) * 4); break;
    default: return 0;
  }
  return 1;
}

uint32_t entry_colour(const Image* img, uint32_t v) {
  const bool own = img->palette && v < static_cast<uint32_t>(img->paletteCount > 0 ? img->paletteCount : 0);
  switch (img->format) {
    case Mono1:
      if (own) return img->palette[v] & 0xFFFFFF;
      return v ? colour_value(255, 255, 255) : 0;
    case Gray4: {
      const uint32_t level = (v & 15) * 255 / 15;
      return colour_value(level, level, level);
    }
    case Gray8: return colour_value(v, v, v);
    case Indexed4:
    case Indexed8:
      if (own) return img->palette[v] & 0xFFFFFF;
      return graphics::pixel_colour(graphics::kPaletteMode, static_cast<int32_t>(v & 255));
    default: return v & 0xFFFFFF;
  }
}

int image_get_pixel_colour(const Image* img, int32_t x, int32_t y, uint32_t* raw, uint32_t* colour) {
  uint32_t v = 0;
  if (!image_get_pixel(img, x, y, &v)) return 0;
  if (img->format == Rgb32) {
    *colour = v & 0xFFFFFF;
    *raw = static_cast<uint32_t>(nearest_colour(*colour, 0));
  } else {
    *raw = v;
    *colour = entry_colour(img, v);
  }
  return 1;
}

void image_fill(Image* img, uint32_t value) {
  if (!img->pixels) return;
  int byte = 0;
  switch (img->format) {
    case Mono1: byte = value ? 0xFF : 0; break;
    case Gray4:
    case Indexed4: byte = static_cast<int>((value & 15) * 0x11); break;
    case Gray8:
    case Indexed8: byte = static_cast<int>(value & 255); break;
    default: return;
  }
  std::memset(img->pixels, byte, pixel_bytes(img));
}

void image_fill_rgb(Image* img, uint32_t colour) {
  if (!img->pixels || img->format != Rgb32) return;
  for (uint32_t y = 0; y < img->height; ++y) {
    uint8_t* p = row_of(img, static_cast<int32_t>(y));
    for (uint32_t x = 0; x < img->width; ++x) base::store_u32le(p + static_cast<size_t>(x) * 4, colour);
  }
}

}  // namespace lumra::image
