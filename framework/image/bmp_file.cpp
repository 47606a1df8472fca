// Windows bitmap reader and writer. Every size is checked against what the file really holds
// before the image is allocated (run-length bitmaps, which may skip, against the pixel limit);
// rows are read through bounded offsets, run-length codes through the bounded cursor.
#include "framework/image/bmp_file.h"

#include <bit>
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
  c.shift = std::countr_zero(mask);
  c.bits = std::popcount(mask);
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

// What the two headers say, checked: everything but the colour table and the rows.
struct Layout {
  uint32_t pixel_offset;
  int32_t width;
  int32_t height;  // positive; top_down says which way the rows are stored
  bool top_down;
  uint32_t bits;
  uint32_t compression;
  int32_t format;
  uint64_t table_at;         // where the colour table starts
  uint32_t table_entries;    // colours used, else colours important, else all the bits can index
  Channel red, green, blue;  // 32-bit pixels
  uint64_t row_size;         // a stored row, padded to 4 bytes
};

bool run_length(const Layout& l) { return l.compression == kRle8 || l.compression == kRle4; }

int read_layout(const uint8_t* data, size_t size, Layout* l) {
  const uint32_t info_size = load_u32le(data + 14);
  const auto signed_height = static_cast<int32_t>(load_u32le(data + 22));
  const uint32_t colours_used = load_u32le(data + 46);
  const uint32_t colours_important = load_u32le(data + 50);
  l->pixel_offset = load_u32le(data + 10);
  l->width = static_cast<int32_t>(load_u32le(data + 18));
  l->bits = load_u16le(data + 28);
  l->compression = load_u32le(data + 30);

  if (info_size < kInfoHeader) return fail("BMP with a core (OS/2 1.x) header is not supported");
  if (info_size > kMaxInfoHeader) return fail("BMP information header size is implausible");
  l->format = format_for_bits(l->bits);
  if (l->format < 0) return fail("BMP bits per pixel other than 1, 4, 8, 24, 32");

  // Where the colour table starts: after the information header, and after the three (or four)
  // masks that follow a 40-byte header for bit-field bitmaps.
  l->table_at = kFileHeader + uint64_t{info_size};
  l->red = channel_of(0x00FF0000), l->green = channel_of(0x0000FF00), l->blue = channel_of(0x000000FF);
  if (l->compression == kBitFields || l->compression == kAlphaBitFields) {
    if (l->bits != 32) return fail("BMP bit fields are supported with 32 bits per pixel only");
    const uint64_t masks_at = info_size == kInfoHeader ? l->table_at : kFileHeader + kInfoHeader;
    if (info_size == kInfoHeader) l->table_at += l->compression == kAlphaBitFields ? 16 : 12;
    if (masks_at + 12 > size) return fail("BMP bit-field masks cut short");
    l->red = channel_of(load_u32le(data + masks_at));
    l->green = channel_of(load_u32le(data + masks_at + 4));
    l->blue = channel_of(load_u32le(data + masks_at + 8));
  } else if (run_length(*l)) {
    if (l->bits != (l->compression == kRle8 ? 8u : 4u)) {
      return fail("BMP run-length code does not match its bits per pixel");
    }
    if (signed_height < 0) return fail("BMP run-length bitmaps cannot be top-down");
    if (l->pixel_offset >= size) return fail("BMP pixel data lies past the end of the file");
  } else if (l->compression != kRgb) {
    return fail("BMP compression other than run-length and bit fields (JPEG, PNG) is not supported");
  }

  if (l->width <= 0 || signed_height == 0 || signed_height == INT32_MIN) {
    return fail("BMP size is not a picture");
  }
  l->top_down = signed_height < 0;
  l->height = l->top_down ? -signed_height : signed_height;
  if (!picture_size_allowed(l->width, l->height)) return 0;
  const uint32_t entries = l->bits <= 8 ? 1u << l->bits : 0;
  const uint32_t n = colours_used ? colours_used : colours_important ? colours_important : entries;
  l->table_entries = n < entries ? n : entries;  // indices cannot reach further
  const uint64_t row_bytes = (uint64_t{static_cast<uint32_t>(l->width)} * l->bits + 7) / 8;
  l->row_size = (row_bytes + 3) & ~uint64_t{3};
  return 1;
}

// The colour table as colour values; `count` entries (0 above 8 bits).
int read_palette(const uint8_t* data, size_t size, const Layout& l, uint32_t palette[256], int32_t* count) {
  *count = 0;
  if (l.bits > 8) return 1;
  if (l.table_at + uint64_t{l.table_entries} * 4 > size) {
    return fail("BMP colour table runs past the end of the file");
  }
  for (uint32_t i = 0; i < l.table_entries; ++i) {
    const uint8_t* e = data + l.table_at + uint64_t{i} * 4;
    palette[i] = colour_value(e[2], e[1], e[0]);
  }
  *count = static_cast<int32_t>(l.table_entries);
  return 1;
}

// Stored rows must all lie inside the file (run-length data is bounded by its cursor instead).
int check_rows(size_t size, const Layout& l) {
  if (run_length(l)) return 1;
  const uint64_t row_bytes = (uint64_t{static_cast<uint32_t>(l.width)} * l.bits + 7) / 8;
  uint64_t end = 0;
  const uint64_t first = uint64_t{l.pixel_offset} + row_bytes;
  const auto rows_after_first = static_cast<uint64_t>(l.height) - 1;
  if (!base::checked_mad<uint64_t>(l.row_size, rows_after_first, first, &end) || end > size) {
    return fail("BMP rows run past the end of the file");
  }
  return 1;
}

// One stored row into an image row: palette formats as they are, 24 and 32 bits as colour values.
void convert_row(const uint8_t* src, uint8_t* dst, size_t stride, const Layout& l) {
  if (l.format != Rgb32) {
    std::memcpy(dst, src, stride);
  } else if (l.bits == 24) {
    for (int32_t x = 0; x < l.width; ++x, src += 3, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 0;
    }
  } else if (l.compression == kRgb) {
    for (int32_t x = 0; x < l.width; ++x, src += 4, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 0;
    }
  } else {
    for (int32_t x = 0; x < l.width; ++x, src += 4, dst += 4) {
      const uint32_t p = load_u32le(src);
      dst[0] = static_cast<uint8_t>(channel_value(l.red, p));
      dst[1] = static_cast<uint8_t>(channel_value(l.green, p));
      dst[2] = static_cast<uint8_t>(channel_value(l.blue, p));
      dst[3] = 0;
    }
  }
}

void copy_rows(const uint8_t* data, const Layout& l, Image* img) {
  const auto stride = static_cast<size_t>(img->stride);
  for (int32_t r = 0; r < l.height; ++r) {
    const int32_t file_row = l.top_down ? r : l.height - 1 - r;
    const uint8_t* src = data + l.pixel_offset + l.row_size * static_cast<uint64_t>(file_row);
    convert_row(src, img->pixels + stride * static_cast<size_t>(r), stride, l);
  }
}

}  // namespace

int read_bmp_memory(uint8_t header[kBmpHeaderSize], Image* img, const uint8_t* data, size_t size) {
  std::memset(header, 0, kBmpHeaderSize);
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return fail("not a BMP file (no \"BM\")");
  std::memcpy(header, data, size < kBmpHeaderSize ? size : kBmpHeaderSize);
  if (size < kBmpHeaderSize) return fail("BMP headers cut short");
  Layout l{};
  if (!read_layout(data, size, &l)) return 0;
  uint32_t palette[256];
  int32_t palette_count = 0;
  if (!read_palette(data, size, l, palette, &palette_count)) return 0;
  if (!check_rows(size, l)) return 0;

  image_free(img);
  const uint32_t* table = palette_count ? palette : nullptr;
  if (!image_allocate(img, l.format, l.width, l.height, palette_count, table, 0, 0)) return 0;
  if (run_length(l)) {
    std::memset(img->pixels, 0, static_cast<size_t>(img->stride) * static_cast<size_t>(l.height));
    decode_rle(data + l.pixel_offset, size - l.pixel_offset, l.compression == kRle4, img);
  } else {
    copy_rows(data, l, img);
  }
  return 1;
}

int read_bmp(uint8_t header[kBmpHeaderSize], Image* img, const char* path) {
  std::memset(header, 0, kBmpHeaderSize);
  return internal::parse_file(path, [&](const uint8_t* data, size_t size) { return read_bmp_memory(header, img, data, size); });
}

namespace {

// Bits per pixel written for a format; 0 for none.
uint32_t bits_written(int32_t format) {
  switch (format) {
    case Mono1: return 1;
    case Gray4:
    case Indexed4: return 4;
    case Gray8:
    case Indexed8: return 8;
    case Rgb32: return 24;
    default: return 0;
  }
}

// The colour table written: the image's palette (at most what the bits index), else the
// format's own colours; none above 8 bits. Returns the entry count.
uint32_t colour_table(const Image* img, uint32_t bits, uint32_t table[256]) {
  if (bits > 8) return 0;
  const uint32_t most = 1u << bits;
  if (img->palette && img->paletteCount > 0) {
    const auto own = static_cast<uint32_t>(img->paletteCount);
    const uint32_t entries = own < most ? own : most;
    std::memcpy(table, img->palette, entries * 4);
    return entries;
  }
  for (uint32_t i = 0; i < most; ++i) {
    switch (img->format) {
      case Mono1: table[i] = i ? colour_value(255, 255, 255) : 0; break;
      case Gray4: table[i] = internal::window_palette_colour(16 + static_cast<int32_t>(i)); break;
      case Gray8: table[i] = colour_value(i, i, i); break;
      default: table[i] = internal::window_palette_colour(static_cast<int32_t>(i)); break;
    }
  }
  return most;
}

// The sizes of what is written.
struct BmpSizes {
  uint32_t bits;
  uint32_t entries;    // colour table
  uint64_t row_bytes;  // pixel bytes of a row
  uint64_t row_size;   // padded to 4 bytes
  uint64_t offset;     // of the rows: headers and table
  uint64_t image_size;
};

void fill_header(uint8_t h[kBmpHeaderSize], const Image* img, const BmpSizes& z, int32_t x_resolution,
                 int32_t y_resolution) {
  std::memset(h, 0, kBmpHeaderSize);
  h[0] = 'B';
  h[1] = 'M';
  base::store_u32le(h + 2, static_cast<uint32_t>(z.offset + z.image_size));
  base::store_u32le(h + 10, static_cast<uint32_t>(z.offset));
  base::store_u32le(h + 14, kInfoHeader);
  base::store_u32le(h + 18, img->width);
  base::store_u32le(h + 22, img->height);
  base::store_u16le(h + 26, 1);
  base::store_u16le(h + 28, static_cast<uint16_t>(z.bits));
  base::store_u32le(h + 34, static_cast<uint32_t>(z.image_size));
  base::store_u32le(h + 38, static_cast<uint32_t>(static_cast<int32_t>(std::floor(x_resolution * 100.0 * (1 / 2.54)))));
  base::store_u32le(h + 42, static_cast<uint32_t>(static_cast<int32_t>(std::floor(y_resolution * 100.0 * (1 / 2.54)))));
  base::store_u32le(h + 50, z.entries);
}

// One padded file row at a time, bottom row first; bits beyond the width are written as zeros.
void write_rows(internal::OutFile* out, const Image* img, const BmpSizes& z) {
  uint8_t row_buffer[4096];
  const size_t stride = static_cast<size_t>(img->stride);
  const uint32_t spare_bits = static_cast<uint32_t>(z.row_bytes * 8 - uint64_t{img->width} * z.bits);
  for (uint32_t r = img->height; r-- > 0 && out->ok;) {
    const uint8_t* src = img->pixels + stride * r;
    uint64_t done = 0;
    uint32_t x = 0;
    while (done < z.row_size) {
      size_t n = 0;
      if (z.bits == 24) {
        for (; x < img->width && n + 3 <= sizeof row_buffer; ++x, n += 3) {
          row_buffer[n] = src[x * 4 + 2];
          row_buffer[n + 1] = src[x * 4 + 1];
          row_buffer[n + 2] = src[x * 4];
        }
      } else {
        const uint64_t copy = z.row_bytes - (done < z.row_bytes ? done : z.row_bytes);
        n = copy < sizeof row_buffer ? static_cast<size_t>(copy) : sizeof row_buffer;
        std::memcpy(row_buffer, src + done, n);
        if (done + n == z.row_bytes && spare_bits) {
          row_buffer[n - 1] &= static_cast<uint8_t>(0xFF << spare_bits);
        }
      }
      // Padding up to the row size, once the pixel bytes are out.
      if (done + n >= z.row_bytes) {
        while (done + n < z.row_size && n < sizeof row_buffer) row_buffer[n++] = 0;
      }
      out_write(out, row_buffer, n);
      done += n;
    }
  }
}

}  // namespace

int save_bmp(const Image* img, const char* path, int32_t x_resolution, int32_t y_resolution) {
  if (!image_is_valid(img)) return fail("no picture to save");
  BmpSizes z{};
  z.bits = bits_written(img->format);
  if (!z.bits) return fail("unknown pixel format");
  uint32_t table[256];
  z.entries = colour_table(img, z.bits, table);
  z.row_bytes = (uint64_t{img->width} * z.bits + 7) / 8;
  z.row_size = (z.row_bytes + 3) & ~uint64_t{3};
  z.image_size = z.row_size * img->height;
  z.offset = kBmpHeaderSize + uint64_t{z.entries} * 4;
  if (z.offset + z.image_size > UINT32_MAX) return fail("picture too large for a BMP file");
  uint8_t h[kBmpHeaderSize];
  fill_header(h, img, z, x_resolution, y_resolution);

  internal::OutFile out;
  if (!internal::out_open(&out, path)) return 0;
  out_write(&out, h, sizeof h);
  for (uint32_t i = 0; i < z.entries; ++i) {
    const uint8_t e[4] = {static_cast<uint8_t>(table[i] >> 16), static_cast<uint8_t>(table[i] >> 8),
                          static_cast<uint8_t>(table[i]), 0};
    out_write(&out, e, 4);
  }
  write_rows(&out, img, z);
  return out_finish(&out);
}

}  // namespace lumra::image
