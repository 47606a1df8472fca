// The fast path: a device-independent copy of the source pixels the visible destination needs
// (bottom-up rows padded to 4 bytes, 1/4/8/24 bits with a colour table) and, with a mask, a 1-bit
// mask of the same geometry; then our stretch, nearest neighbour with centre sampling as a
// colour-on-colour stretch does, the mask ANDed in before the image is ORed.
#include <algorithm>
#include <cstring>

#include "framework/base/heap.h"
#include "framework/graphics/back_buffer.h"
#include "framework/image/draw_internal.h"

namespace lumra::image::draw_detail {
namespace {

constexpr uint16_t kBitsPerPixel[kFormatCount] = {1, 4, 8, 4, 8, 24};

int64_t dib_row_bytes(int64_t width, int64_t bits) { return (width * bits + 31) / 32 * 4; }

// The index (1/4/8 bits) or the packed blue-green-red colour (24 bits) at column j of a DIB row.
uint32_t dib_fetch(const uint8_t* row, int64_t j, uint16_t bits) {
  switch (bits) {
    case 1: return row[j >> 3] >> (7 - (j & 7)) & 1;
    case 4: return j & 1 ? row[j >> 1] & 15u : static_cast<uint32_t>(row[j >> 1] >> 4);
    case 8: return row[j];
    default: {
      const uint8_t* q = row + j * 3;
      return static_cast<uint32_t>(q[2]) | static_cast<uint32_t>(q[1]) << 8 | static_cast<uint32_t>(q[0]) << 16;
    }
  }
}

void dib_store(uint8_t* row, int64_t j, uint16_t bits, uint32_t v) {
  switch (bits) {
    case 1:
      if (v & 1) row[j >> 3] = static_cast<uint8_t>(row[j >> 3] | 0x80 >> (j & 7));
      break;
    case 4: row[j >> 1] = static_cast<uint8_t>(row[j >> 1] | (j & 1 ? v & 15 : (v & 15) << 4)); break;
    default: row[j] = static_cast<uint8_t>(v); break;
  }
}

// Destination column (or row) to source column: the pixel whose centre the destination centre
// falls on.
void nearest_map(int32_t* out, int32_t count, int32_t first, int64_t d0, int64_t dsize, int64_t s0, int64_t ssize) {
  for (int32_t i = 0; i < count; ++i) {
    const int64_t rel = first + i - d0;
    out[i] = static_cast<int32_t>(s0 + (2 * rel + 1) * ssize / (2 * dsize));
  }
}

}  // namespace

int draw_fast(Plan* p) {
  Image* img = p->img;
  const int32_t vw = p->vx1 - p->vx0, vh = p->vy1 - p->vy0;
  auto* cols = static_cast<int32_t*>(base::heap_alloc(static_cast<size_t>(vw + vh) * sizeof(int32_t)));
  if (!cols) return 0;
  int32_t* rows = cols + vw;
  nearest_map(cols, vw, p->vx0, p->dx, p->dw, p->sx, p->sw);
  nearest_map(rows, vh, p->vy0, p->dy, p->dh, p->sy, p->sh);
  const int64_t c_lo = cols[0], c_hi = cols[vw - 1], r_lo = rows[0], r_hi = rows[vh - 1];
  const int64_t w = c_hi - c_lo + 1, h = r_hi - r_lo + 1;

  graphics::BitmapDescription info{};
  info.size = 40;
  info.width = static_cast<int32_t>(w);
  info.height = static_cast<int32_t>(h);
  info.planes = 1;
  info.bit_count = kBitsPerPixel[img->format];
  info.colors_used = static_cast<uint32_t>(p->entries);
  const bool clear_used = p->transparency >= 1 && p->transparency <= 4;
  for (int32_t i = 0; i < p->entries; ++i) {
    // Transparent entries turn black, so that ORing them leaves what the mask kept.
    const uint32_t c = clear_used && p->entry_clear[i] ? 0 : p->entry_colour[i];
    info.colors[i][0] = static_cast<uint8_t>(c >> 16);
    info.colors[i][1] = static_cast<uint8_t>(c >> 8);
    info.colors[i][2] = static_cast<uint8_t>(c);
  }
  const int64_t row_bytes = dib_row_bytes(w, info.bit_count);
  const int64_t mask_row_bytes = p->masked ? dib_row_bytes(w, 1) : 0;
  uint8_t* bits = work_buffer(static_cast<size_t>((row_bytes + mask_row_bytes) * h));
  if (!bits) {
    base::heap_free(cols);
    return 0;
  }
  uint8_t* mask = bits + row_bytes * h;

  // Bottom-up: DIB row k holds source row r_hi - k.
  const bool rgb = img->format == Rgb32;
  for (int64_t k = 0; k < h; ++k) {
    const int64_t r = r_hi - k;
    const uint8_t* src = img->pixels + r * img->stride;
    uint8_t* out = bits + k * row_bytes;
    uint8_t* mout = mask + k * mask_row_bytes;
    std::memset(out, 0, static_cast<size_t>(row_bytes));
    if (p->masked) std::memset(mout, 0, static_cast<size_t>(mask_row_bytes));
    for (int64_t j = 0; j < w; ++j) {
      uint32_t v = 0;
      image_get_pixel(img, static_cast<int32_t>(c_lo + j), static_cast<int32_t>(r), &v);
      if (rgb) {
        const uint8_t* q = src + (c_lo + j) * 4;
        const bool clear = clear_used && pixel_clear(*p, v, v & 0xFFFFFF);
        uint8_t* o = out + j * 3;
        o[0] = clear ? 0 : q[2];
        o[1] = clear ? 0 : q[1];
        o[2] = clear ? 0 : q[0];
        if (clear) dib_store(mout, j, 1, 1);
      } else {
        dib_store(out, j, info.bit_count, v);
        if (clear_used && p->entry_clear[v]) dib_store(mout, j, 1, 1);
      }
    }
  }

  // Colour-table lookups once, as packed blue-green-red.
  uint32_t table[256];
  for (int32_t i = 0; i < p->entries; ++i) {
    table[i] = static_cast<uint32_t>(info.colors[i][0]) | static_cast<uint32_t>(info.colors[i][1]) << 8 |
               static_cast<uint32_t>(info.colors[i][2]) << 16;
  }
  const graphics::PaintBuffer* buffer = p->target.buffer;
  const bool stencil = p->masked && img->format == Mono1;
  for (int32_t i = 0; i < vh; ++i) {
    const int32_t y = p->vy0 + i;
    const int64_t k = r_hi - rows[i];
    const uint8_t* in = bits + k * row_bytes;
    const uint8_t* min = mask + k * mask_row_bytes;
    for_each_span(p->target, y, p->vx0, p->vx1, [&](int32_t a, int32_t b) {
      uint8_t* d = graphics::buffer_pixel(buffer, a, y);
      for (int32_t x = a; x < b; ++x, d += 3) {
        const int64_t j = cols[x - p->vx0] - c_lo;
        const uint32_t v = dib_fetch(in, j, info.bit_count);
        const uint32_t bgr = rgb ? (v >> 16 | (v & 0xFF00) | (v & 0xFF) << 16) : table[v];
        if (!p->masked) {
          d[0] = static_cast<uint8_t>(bgr), d[1] = static_cast<uint8_t>(bgr >> 8), d[2] = static_cast<uint8_t>(bgr >> 16);
          continue;
        }
        const uint8_t keep = dib_fetch(min, j, 1) ? 0xFF : 0;
        // The mask with AND, then (unless the image is a stencil) the image with OR.
        d[0] &= keep, d[1] &= keep, d[2] &= keep;
        if (stencil) continue;
        d[0] |= static_cast<uint8_t>(bgr), d[1] |= static_cast<uint8_t>(bgr >> 8), d[2] |= static_cast<uint8_t>(bgr >> 16);
      }
      touch(&p->target.touched, a, y, b, y + 1);
    });
  }
  base::heap_free(cols);
  report().band_rows = 0;
  return 1;
}

}  // namespace lumra::image::draw_detail
