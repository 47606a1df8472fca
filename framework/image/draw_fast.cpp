// The fast path: a device-independent copy of the source pixels the visible destination needs
// (bottom-up rows padded to 4 bytes, 1/4/8/24 bits with a colour table) and, with a mask, a 1-bit
// mask of the same geometry; then our stretch, nearest neighbour with centre sampling as a
// colour-on-colour stretch does, the mask ANDed in before the image is ORed.
#include <algorithm>
#include <cstring>

#include "framework/base/heap.h"
#include "framework/base/owned.h"
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

// The device-independent copy of the source pixels the visible destination needs, bottom-up
// (row k holds source row r_hi - k), with a 1-bit mask of the same geometry when the plan masks.
struct Dib {
  graphics::BitmapDescription info;
  uint8_t* bits;
  uint8_t* mask;
  int64_t row_bytes;
  int64_t mask_row_bytes;  // 0 without a mask
  int64_t c_lo;            // source column of DIB column 0
  int64_t r_hi;            // source row of DIB row 0
  int64_t w, h;
};

// The header and colour table; transparent entries turn black, so that ORing them leaves what
// the mask kept.
void describe(const Plan& p, Dib* d) {
  graphics::BitmapDescription& info = d->info;
  info = graphics::BitmapDescription{};
  info.size = 40;
  info.width = static_cast<int32_t>(d->w);
  info.height = static_cast<int32_t>(d->h);
  info.planes = 1;
  info.bit_count = kBitsPerPixel[p.img->format];
  info.colors_used = static_cast<uint32_t>(p.entries);
  const bool clear_used = p.transparency >= 1 && p.transparency <= 4;
  for (int32_t i = 0; i < p.entries; ++i) {
    const uint32_t c = clear_used && p.entry_clear[i] ? 0 : p.entry_colour[i];
    info.colors[i][0] = static_cast<uint8_t>(c >> 16);
    info.colors[i][1] = static_cast<uint8_t>(c >> 8);
    info.colors[i][2] = static_cast<uint8_t>(c);
  }
  d->row_bytes = dib_row_bytes(d->w, info.bit_count);
  d->mask_row_bytes = p.masked ? dib_row_bytes(d->w, 1) : 0;
}

// A Mono1 stencil's mask here is its pixel rows themselves: 1-pixels keep the screen, 0-pixels
// paint black. In modes 2 and 4 the rows are inverted when transparentIndex is 0 and colour-table
// entry 0 has a blue below 255, the usual black-on-white stencil.
void take_stencil_rows(Plan* p) {
  const bool keyed = p->transparency == 2 || p->transparency == 4;
  const bool inverse = keyed && p->img->transparentIndex == 0 && (p->entry_colour[0] >> 16 & 255) < 255;
  p->entry_clear[0] = inverse ? 1 : 0;
  p->entry_clear[1] = inverse ? 0 : 1;
}

void copy_source(const Plan& p, const Dib& d) {
  const Image* img = p.img;
  const bool rgb = img->format == Rgb32;
  const bool clear_used = p.transparency >= 1 && p.transparency <= 4;
  for (int64_t k = 0; k < d.h; ++k) {
    const int64_t r = d.r_hi - k;
    const uint8_t* src = img->pixels + r * img->stride;
    uint8_t* out = d.bits + k * d.row_bytes;
    uint8_t* mout = d.mask + k * d.mask_row_bytes;
    std::memset(out, 0, static_cast<size_t>(d.row_bytes));
    if (p.masked) std::memset(mout, 0, static_cast<size_t>(d.mask_row_bytes));
    for (int64_t j = 0; j < d.w; ++j) {
      uint32_t v = 0;
      image_get_pixel(img, static_cast<int32_t>(d.c_lo + j), static_cast<int32_t>(r), &v);
      if (rgb) {
        const uint8_t* q = src + (d.c_lo + j) * 4;
        const bool clear = clear_used && pixel_clear(p, v, v & 0xFFFFFF);
        uint8_t* o = out + j * 3;
        o[0] = clear ? 0 : q[2];
        o[1] = clear ? 0 : q[1];
        o[2] = clear ? 0 : q[0];
        if (clear) dib_store(mout, j, 1, 1);
      } else {
        dib_store(out, j, d.info.bit_count, v);
        if (clear_used && p.entry_clear[v]) dib_store(mout, j, 1, 1);
      }
    }
  }
}

// Our stretch onto the back buffer: each visible pixel takes its mapped DIB pixel; with a mask,
// the mask is ANDed in before the image (unless it is a stencil) is ORed.
void stretch(Plan* p, const Dib& d, const int32_t* cols, const int32_t* rows) {
  // Colour-table lookups once, as packed blue-green-red.
  uint32_t table[256];
  for (int32_t i = 0; i < p->entries; ++i) {
    table[i] = static_cast<uint32_t>(d.info.colors[i][0]) | static_cast<uint32_t>(d.info.colors[i][1]) << 8 |
               static_cast<uint32_t>(d.info.colors[i][2]) << 16;
  }
  const bool rgb = p->img->format == Rgb32;
  const uint16_t bit_count = d.info.bit_count;
  const graphics::PaintBuffer* buffer = p->target.buffer;
  const int32_t vh = p->vy1 - p->vy0;
  for (int32_t i = 0; i < vh; ++i) {
    const int32_t y = p->vy0 + i;
    const int64_t k = d.r_hi - rows[i];
    const uint8_t* in = d.bits + k * d.row_bytes;
    const uint8_t* min = d.mask + k * d.mask_row_bytes;
    for_each_span(p->target, y, p->vx0, p->vx1, [&](int32_t a, int32_t b) {
      uint8_t* px = graphics::buffer_pixel(buffer, a, y);
      for (int32_t x = a; x < b; ++x, px += 3) {
        const int64_t j = cols[x - p->vx0] - d.c_lo;
        const uint32_t v = dib_fetch(in, j, bit_count);
        const uint32_t bgr = rgb ? (v >> 16 | (v & 0xFF00) | (v & 0xFF) << 16) : table[v];
        if (!p->masked) {
          px[0] = static_cast<uint8_t>(bgr);
          px[1] = static_cast<uint8_t>(bgr >> 8);
          px[2] = static_cast<uint8_t>(bgr >> 16);
          continue;
        }
        const uint8_t keep = dib_fetch(min, j, 1) ? 0xFF : 0;
        px[0] &= keep, px[1] &= keep, px[2] &= keep;
        if (p->stencil) continue;
        px[0] |= static_cast<uint8_t>(bgr);
        px[1] |= static_cast<uint8_t>(bgr >> 8);
        px[2] |= static_cast<uint8_t>(bgr >> 16);
      }
      touch(&p->target.touched, a, y, b, y + 1);
    });
  }
}

}  // namespace

int draw_fast(Plan* p) {
  const int32_t vw = p->vx1 - p->vx0, vh = p->vy1 - p->vy0;
  // Per visible column and row: the source column or row it shows.
  const base::HeapBlock map(base::heap_alloc(static_cast<size_t>(vw + vh) * sizeof(int32_t)));
  auto* cols = static_cast<int32_t*>(map.get());
  if (!cols) return 0;
  int32_t* rows = cols + vw;
  nearest_map(cols, vw, p->vx0, p->dx, p->dw, p->sx, p->sw);
  nearest_map(rows, vh, p->vy0, p->dy, p->dh, p->sy, p->sh);

  if (p->stencil) take_stencil_rows(p);
  Dib d{};
  d.c_lo = cols[0];
  d.r_hi = rows[vh - 1];
  d.w = cols[vw - 1] - d.c_lo + 1;
  d.h = d.r_hi - rows[0] + 1;
  describe(*p, &d);
  d.bits = work_buffer(static_cast<size_t>((d.row_bytes + d.mask_row_bytes) * d.h));
  if (!d.bits) return 0;
  d.mask = d.bits + d.row_bytes * d.h;
  copy_source(*p, d);
  stretch(p, d, cols, rows);
  report().band_rows = 0;
  return 1;
}

}  // namespace lumra::image::draw_detail
