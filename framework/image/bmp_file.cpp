// Windows bitmap reader and writer. Every size is checked against what the file really holds
// before the image is allocated (run-length bitmaps, which may skip, against the pixel limit);
// rows are read through bounded offsets, run-length codes through the bounded cursor.
#include "framework/image/bmp_file.h"

#include <cmath>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"

namespace lumra::image {
namespace {

using base::fail;
using base::load_u16le;
using base::load_u32le;

constexpr size_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kMaxInfoHeader = 1024;  // V5 is 124; anything far beyond is no bitmap
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

// One channel of a bit-field pixel, widened or narrowed to 8 bits.
struct Channel {
  uint32_t mask;
  int shift;
  int bits;
};

Channel channel_of(uint32_t mask) {
  Channel c{mask, 0, 0};
  if (!mask) return c;
  c.shift = __builtin_ctz(mask);
  c.bits = __builtin_popcount(mask);
  return c;
}

uint32_t channel_value(const Channel& c, uint32_t pixel) {
  if (!c.mask) return 0;
  const uint32_t v = (pixel & c.mask) >> c.shift;
  if (c.bits >= 8) return v >> (c.bits - 8);
  return v * 255 / ((1u << c.bits) - 1);
}

// Run-length bitmaps (8 or 4 bits) drawn onto the zeroed image, bottom row first. Pixels past
// the width are dropped; a move past the last row, the end code or the end of the data ends it.
void decode_rle(const uint8_t* data, size_t size, bool four_bits, Image* img) {
  base::ByteCursor c = base::make_cursor(data, size);
  const int64_t width = img->width;
  const auto stride = static_cast<size_t>(img->stride);
  int64_t x = 0, y = static_cast<int64_t>(img->height) - 1;
  const auto put = [&](uint32_t v) {
    if (x < width) {
      uint8_t* row = img->pixels + stride * static_cast<size_t>(y);
      if (four_bits) {
        uint8_t& b = row[x >> 1];
        b = static_cast<uint8_t>(x & 1 ? (b & 0xF0) | v : (b & 0x0F) | v << 4);
      } else {
        row[x] = static_cast<uint8_t>(v);
      }
    }
    ++x;
  };
  uint8_t n = 0, v = 0;
  while (y >= 0 && base::cursor_u8(c, &n) && base::cursor_u8(c, &v)) {
    if (n > 0) {
      for (uint32_t i = 0; i < n && x < width; ++i) put(four_bits ? (i & 1 ? v & 15u : v >> 4u) : v);
      continue;
    }
    if (v == 0) {  // end of line
      x = 0;
      --y;
    } else if (v == 1) {  // end of bitmap
      break;
    } else if (v == 2) {  // move right and up
      uint8_t dx = 0, dy = 0;
      if (!base::cursor_u8(c, &dx) || !base::cursor_u8(c, &dy)) break;
      x += dx;
      y -= dy;
    } else {  // v literal pixels, padded to a whole number of 16-bit words
      const size_t bytes = four_bits ? (v + 1u) / 2 : v;
      const uint8_t* literal = c.p;
      if (!base::cursor_skip(c, bytes)) break;
      for (uint32_t i = 0; i < v && x < width; ++i) put(four_bits ? (i & 1 ? literal[i / 2] & 15u : literal[i / 2] >> 4u) : literal[i]);
      if (bytes & 1) (void)base::cursor_skip(c, 1);
    }
  }
}

int32_t format_for_bits(uint32_t bits) {
  switch (bits) {
    case 1: return Mono1;
    case 4: return Indexed4;
    case 8: return Indexed8;
    case 24:
    case 32: return Rgb32;
    default: return -1;
  }
}

}  // namespace

int read_bmp_memory(uint8_t header[kBmpHeaderSize], Image* img, const uint8_t* data, size_t size) {
  std::memset(header, 0, kBmpHeaderSize);
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return fail("not a BMP file (no \"BM\")");
  std::memcpy(header, data, size < kBmpHeaderSize ? size : kBmpHeaderSize);
  if (size < kBmpHeaderSize) return fail("BMP headers cut short");

  const uint32_t pixel_offset = load_u32le(data + 10);
  const uint32_t info_size = load_u32le(data + 14);
  const auto width = static_cast<int32_t>(load_u32le(data + 18));
  const auto signed_height = static_cast<int32_t>(load_u32le(data + 22));
  const uint32_t bits = load_u16le(data + 28);
  const uint32_t compression = load_u32le(data + 30);
  const uint32_t colours_used = load_u32le(data + 46);
  const uint32_t colours_important = load_u32le(data + 50);

  if (info_size < kInfoHeader) return fail("BMP with a core (OS/2 1.x) header is not supported");
  if (info_size > kMaxInfoHeader) return fail("BMP information header size is implausible");
  const int32_t format = format_for_bits(bits);
  if (format < 0) return fail("BMP bits per pixel other than 1, 4, 8, 24, 32");

  // Where the colour table starts: after the information header, and after the three (or four)
  // masks that follow a 40-byte header for bit-field bitmaps.
  uint64_t table_at = kFileHeader + uint64_t{info_size};
  Channel red = channel_of(0x00FF0000), green = channel_of(0x0000FF00), blue = channel_of(0x000000FF);
  if (compression == kBitFields || compression == kAlphaBitFields) {
    if (bits != 32) return fail("BMP bit fields are supported with 32 bits per pixel only");
    const uint64_t masks_at = info_size == kInfoHeader ? table_at : kFileHeader + kInfoHeader;
    if (info_size == kInfoHeader) table_at += compression == kAlphaBitFields ? 16 : 12;
    if (masks_at + 12 > size) return fail("BMP bit-field masks cut short");
    red = channel_of(load_u32le(data + masks_at));
    green = channel_of(load_u32le(data + masks_at + 4));
    blue = channel_of(load_u32le(data + masks_at + 8));
  } else if (compression == kRle8 || compression == kRle4) {
    if (bits != (compression == kRle8 ? 8u : 4u)) return fail("BMP run-length code does not match its bits per pixel");
    if (signed_height < 0) return fail("BMP run-length bitmaps cannot be top-down");
    if (pixel_offset >= size) return fail("BMP pixel data lies past the end of the file");
  } else if (compression != kRgb) {
    return fail("BMP compression other than run-length and bit fields (JPEG, PNG) is not supported");
  }

  if (width <= 0 || signed_height == 0 || signed_height == INT32_MIN) return fail("BMP size is not a picture");
  const bool top_down = signed_height < 0;
  const int32_t height = top_down ? -signed_height : signed_height;
  if (!picture_size_allowed(width, height)) return 0;

  uint32_t palette[256];
  int32_t palette_count = 0;
  if (bits <= 8) {
    const uint32_t entries = 1u << bits;
    uint32_t n = colours_used ? colours_used : colours_important ? colours_important : entries;
    if (n > entries) n = entries;  // indices cannot reach further
    if (table_at + uint64_t{n} * 4 > size) return fail("BMP colour table runs past the end of the file");
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = data + table_at + uint64_t{i} * 4;
      palette[i] = colour_value(e[2], e[1], e[0]);
    }
    palette_count = static_cast<int32_t>(n);
  }

  const bool run_length = compression == kRle8 || compression == kRle4;
  const uint64_t row_bytes = (uint64_t{static_cast<uint32_t>(width)} * bits + 7) / 8;
  const uint64_t row_size = (row_bytes + 3) & ~uint64_t{3};
  uint64_t end = 0;
  if (!run_length &&
      (!base::checked_mad<uint64_t>(row_size, static_cast<uint64_t>(height) - 1, uint64_t{pixel_offset} + row_bytes, &end) ||
       end > size)) {
    return fail("BMP rows run past the end of the file");
  }

  image_free(img);
  if (!image_allocate(img, format, width, height, palette_count, palette_count ? palette : nullptr, 0, 0)) return 0;
  if (run_length) {
    std::memset(img->pixels, 0, static_cast<size_t>(img->stride) * static_cast<size_t>(height));
    decode_rle(data + pixel_offset, size - pixel_offset, compression == kRle4, img);
    return 1;
  }
  const auto stride = static_cast<size_t>(img->stride);
  for (int32_t r = 0; r < height; ++r) {
    const int32_t file_row = top_down ? r : height - 1 - r;
    const uint8_t* src = data + pixel_offset + row_size * static_cast<uint64_t>(file_row);
    uint8_t* dst = img->pixels + stride * static_cast<size_t>(r);
    if (format != Rgb32) {
      std::memcpy(dst, src, stride);
    } else if (bits == 24) {
      for (int32_t x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = 0;
      }
    } else if (compression == kRgb) {
      for (int32_t x = 0; x < width; ++x, src += 4, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = 0;
      }
    } else {
      for (int32_t x = 0; x < width; ++x, src += 4, dst += 4) {
        const uint32_t p = load_u32le(src);
        dst[0] = static_cast<uint8_t>(channel_value(red, p));
        dst[1] = static_cast<uint8_t>(channel_value(green, p));
        dst[2] = static_cast<uint8_t>(channel_value(blue, p));
        dst[3] = 0;
      }
    }
  }
  return 1;
}

int read_bmp(uint8_t header[kBmpHeaderSize], Image* img, const char* path) {
  std::memset(header, 0, kBmpHeaderSize);
  return internal::parse_file(path, [&](const uint8_t* data, size_t size) { return read_bmp_memory(header, img, data, size); });
}

int save_bmp(const Image* img, const char* path, int32_t x_resolution, int32_t y_resolution) {
  if (!image_is_valid(img)) return fail("no picture to save");
  uint32_t bits = 0;
  switch (img->format) {
    case Mono1: bits = 1; break;
    case Gray4:
    case Indexed4: bits = 4; break;
    case Gray8:
    case Indexed8: bits = 8; break;
    case Rgb32: bits = 24; break;
    default: return fail("unknown pixel format");
  }
  uint32_t table[256];
  uint32_t entries = 0;
  if (bits <= 8) {
    const uint32_t most = 1u << bits;
    if (img->palette && img->paletteCount > 0) {
      entries = static_cast<uint32_t>(img->paletteCount) < most ? static_cast<uint32_t>(img->paletteCount) : most;
      std::memcpy(table, img->palette, entries * 4);
    } else {
      entries = most;
      for (uint32_t i = 0; i < entries; ++i) {
        switch (img->format) {
          case Mono1: table[i] = i ? colour_value(255, 255, 255) : 0; break;
          case Gray4: table[i] = internal::window_palette_colour(16 + static_cast<int32_t>(i)); break;
          case Gray8: table[i] = colour_value(i, i, i); break;
          default: table[i] = internal::window_palette_colour(static_cast<int32_t>(i)); break;
        }
      }
    }
  }
  const uint64_t row_bytes = (uint64_t{img->width} * bits + 7) / 8;
  const uint64_t row_size = (row_bytes + 3) & ~uint64_t{3};
  const uint64_t image_size = row_size * img->height;
  const uint64_t offset = kBmpHeaderSize + uint64_t{entries} * 4;
  if (offset + image_size > UINT32_MAX) return fail("picture too large for a BMP file");

  uint8_t h[kBmpHeaderSize] = {'B', 'M'};
  base::store_u32le(h + 2, static_cast<uint32_t>(offset + image_size));
  base::store_u32le(h + 10, static_cast<uint32_t>(offset));
  base::store_u32le(h + 14, kInfoHeader);
  base::store_u32le(h + 18, img->width);
  base::store_u32le(h + 22, img->height);
  base::store_u16le(h + 26, 1);
  base::store_u16le(h + 28, static_cast<uint16_t>(bits));
  base::store_u32le(h + 34, static_cast<uint32_t>(image_size));
  base::store_u32le(h + 38, static_cast<uint32_t>(static_cast<int32_t>(std::floor(x_resolution * 100.0 * (1 / 2.54)))));
  base::store_u32le(h + 42, static_cast<uint32_t>(static_cast<int32_t>(std::floor(y_resolution * 100.0 * (1 / 2.54)))));
  base::store_u32le(h + 50, entries);

  internal::OutFile out;
  if (!internal::out_open(&out, path)) return 0;
  out_write(&out, h, sizeof h);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t e[4] = {static_cast<uint8_t>(table[i] >> 16), static_cast<uint8_t>(table[i] >> 8),
                          static_cast<uint8_t>(table[i]), 0};
    out_write(&out, e, 4);
  }
  // One padded file row at a time; bits beyond the width are written as zeros.
  uint8_t row_buffer[4096];
  const size_t stride = static_cast<size_t>(img->stride);
  const uint32_t spare_bits = static_cast<uint32_t>(row_bytes * 8 - uint64_t{img->width} * bits);
  for (uint32_t r = img->height; r-- > 0 && out.ok;) {
    const uint8_t* src = img->pixels + stride * r;
    uint64_t done = 0;
    uint32_t x = 0;
    while (done < row_size) {
      size_t n = 0;
      if (bits == 24) {
        for (; x < img->width && n + 3 <= sizeof row_buffer; ++x, n += 3) {
          row_buffer[n] = src[x * 4 + 2];
          row_buffer[n + 1] = src[x * 4 + 1];
          row_buffer[n + 2] = src[x * 4];
        }
      } else {
        const uint64_t copy = row_bytes - (done < row_bytes ? done : row_bytes);
        n = copy < sizeof row_buffer ? static_cast<size_t>(copy) : sizeof row_buffer;
        std::memcpy(row_buffer, src + done, n);
        if (done + n == row_bytes && spare_bits) row_buffer[n - 1] &= static_cast<uint8_t>(0xFF << spare_bits);
      }
      // Padding up to the row size, once the pixel bytes are out.
      if (done + n >= row_bytes) {
        while (done + n < row_size && n < sizeof row_buffer) row_buffer[n++] = 0;
      }
      out_write(&out, row_buffer, n);
      done += n;
    }
  }
  return out_finish(&out);
}

}  // namespace lumra::image
