// The slow path: every destination pixel is worked out here, in a 24-bit bottom-up band buffer
// (with a mask half when needed) that stays below 4 MiB and is output like the fast path. Shrinking
// horizontally averages the source pixels of each destination pixel; palette images use per-entry
// caches of colour numbers; every pixel passes the drawing state's pixel filters.
#include <algorithm>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/graphics/back_buffer.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/pixel_filter.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw_internal.h"

namespace lumra::image::draw_detail {
namespace {

constexpr int32_t kColours = kWindowColours;
// A filter's answer that leaves a true-colour pixel transparent (filters always run with a mask).
constexpr int32_t kTransparentAnswer = 65535;
// A band this small is not worth drawing through: allocation failures stop shrinking it here.
constexpr int64_t kSmallestBand = 4096;

uint32_t palette_value(const Image* img, const uint8_t* row, int64_t c) {
  switch (img->format) {
    case Mono1: return row[c >> 3] >> (7 - (c & 7)) & 1;
    case Gray4:
    case Indexed4: return c & 1 ? row[c >> 1] & 15u : static_cast<uint32_t>(row[c >> 1] >> 4);
    default: return row[c];
  }
}

int32_t dither_kind(int32_t colour_mode) {
  switch (colour_mode) {
    case kDrawMono: return kDitherMono;
    case kDrawGrayDither: return kDitherGray;
    default: return kDitherColour;
  }
}

struct Band {
  Plan* p;
  uint8_t* image_row;
  uint8_t* mask_row;
  int32_t* dither_cache;
  int32_t* colour_cache;
};

inline void put_bgr(const Band& b, int32_t x, uint32_t colour) {
  uint8_t* o = b.image_row + static_cast<size_t>(x - b.p->vx0) * 3;
  o[0] = static_cast<uint8_t>(colour >> 16);
  o[1] = static_cast<uint8_t>(colour >> 8);
  o[2] = static_cast<uint8_t>(colour);
  if (b.p->masked) {
    uint8_t* m = b.mask_row + static_cast<size_t>(x - b.p->vx0) * 3;
    m[0] = m[1] = m[2] = 0;
  }
}

void put_number(const Band& b, int32_t x, int32_t y, int32_t number) {
  if (b.p->filters) {
    number = graphics::filter_pixel(x, y, number, true);
    if (number < 0) return;
  }
  put_bgr(b, x, number_colour(number, kColours));
}

void put_true(const Band& b, int32_t x, int32_t y, uint32_t colour) {
  // The filters see the pixel's 16-bit colour number and only suppression is taken from them:
  // a negative answer, or 65535, the answer a filter gives for "transparent" in true colour.
  // Without filters there is no answer, and a white pixel is drawn like any other.
  if (b.p->filters) {
    const int32_t answer = graphics::filter_pixel(x, y, nearest_colour(colour, kColours), true);
    if (answer < 0 || answer == kTransparentAnswer) return;
  }
  put_bgr(b, x, colour);
}

// One source pixel drawn as it is: transparency, then the caches or the per-pixel match.
void single(const Band& b, int32_t x, int32_t y, int64_t c, int64_t r) {
  const Plan& p = *b.p;
  const Image* img = p.img;
  const uint8_t* row = img->pixels + r * img->stride;
  const int32_t mode = p.colour_mode;
  if (img->format != Rgb32) {
    const uint32_t v = palette_value(img, row, c);
    if (p.masked && p.entry_clear[v]) return;
    if (mode == kDrawTrueColour) return put_true(b, x, y, p.entry_colour[v]);
    if (b.dither_cache) return put_number(b, x, y, b.dither_cache[v * 64 + static_cast<uint32_t>(bayer_index(x, y))]);
    return put_number(b, x, y, b.colour_cache[v]);
  }
  const uint32_t raw = base::load_u32le(row + c * 4);
  const uint32_t colour = raw & 0xFFFFFF;
  if (p.masked && pixel_clear(p, raw, colour)) return;
  switch (mode) {
    case kDrawTrueColour: return put_true(b, x, y, colour);
    case kDrawGray: return put_number(b, x, y, nearest_gray(colour, kColours));
    case kDrawNearest: return put_number(b, x, y, nearest_colour(colour, kColours));
    case kDrawMono: {
      const bool white = brightness8(colour) * 64 / 255 > kBayer[bayer_index(x, y)];
      return put_number(b, x, y, white ? white_number(kColours) : 0);
    }
    default:
      // Gray and colour dithers dither: a black-and-white threshold here would draw a true-colour
      // picture in two colours beside its own averaged, colour-dithered pixels.
      return put_number(b, x, y, dither_entry(colour, dither_kind(mode), kColours, bayer_index(x, y)));
  }
}

// The mean colour of a destination pixel's source pixels, by colour mode.
void averaged(const Band& b, int32_t x, int32_t y, uint32_t mean) {
  const int32_t i = bayer_index(x, y);
  switch (b.p->colour_mode) {
    case kDrawTrueColour: return put_true(b, x, y, mean);
    case kDrawMono: return put_number(b, x, y, dither_entry(mean, kDitherMono, kColours, i));
    case kDrawGray:
    case kDrawGrayDither: return put_number(b, x, y, nearest_gray(mean, kColours));
    case kDrawNearest: return put_number(b, x, y, nearest_colour(mean, kColours));
    default: return put_number(b, x, y, dither_entry(mean, kDitherColour, kColours, i));
  }
}

struct Sums {
  uint64_t* red;
  uint64_t* green;
  uint64_t* blue;
  uint64_t* count;
};

// Adds source row r over the column groups first[i]..last[i] (contiguous, in order).
void gather_row(const Plan& p, const int32_t* first, const int32_t* last, int32_t vw, int64_t r, Sums* s) {
  const Image* img = p.img;
  const uint8_t* row = img->pixels + r * img->stride;
  const bool clear_used = p.masked;
  if (img->format == Rgb32 && !clear_used) {
    const uint8_t* q = row + static_cast<int64_t>(first[0]) * 4;
    for (int32_t i = 0; i < vw; ++i) {
      uint32_t sr = 0, sg = 0, sb = 0;
      const int32_t n = last[i] - first[i] + 1;
      for (int32_t k = 0; k < n; ++k, q += 4) sr += q[0], sg += q[1], sb += q[2];
      s->red[i] += sr, s->green[i] += sg, s->blue[i] += sb, s->count[i] += static_cast<uint32_t>(n);
    }
    return;
  }
  for (int32_t i = 0; i < vw; ++i) {
    for (int64_t c = first[i]; c <= last[i]; ++c) {
      uint32_t colour = 0;
      bool clear = false;
      if (img->format == Rgb32) {
        const uint32_t raw = base::load_u32le(row + c * 4);
        colour = raw & 0xFFFFFF;
        clear = clear_used && pixel_clear(p, raw, colour);
      } else {
        const uint32_t v = palette_value(img, row, c);
        colour = p.entry_colour[v];
        clear = clear_used && p.entry_clear[v];
      }
      if (clear) continue;
      s->red[i] += colour & 255, s->green[i] += colour >> 8 & 255, s->blue[i] += colour >> 16 & 255;
      s->count[i]++;
    }
  }
}

// The band's rows onto the back buffer: the mask ANDed, then the image ORed (a stencil: the mask
// alone); or copied.
void output_band(Plan* p, const uint8_t* image, const uint8_t* mask, int64_t row_size, int32_t top, int32_t rows) {
  graphics::PaintBuffer* buffer = p->target.buffer;
  for (int32_t k = 0; k < rows; ++k) {
    const int32_t y = top + k;
    const int64_t at = static_cast<int64_t>(rows - 1 - k) * row_size;
    const uint8_t* in = image + at;
    const uint8_t* m = mask + at;
    for_each_span(p->target, y, p->vx0, p->vx1, [&](int32_t a, int32_t b) {
      uint8_t* d = graphics::buffer_pixel(buffer, a, y);
      const size_t from = static_cast<size_t>(a - p->vx0) * 3, n = static_cast<size_t>(b - a) * 3;
      if (!p->masked) {
        std::memcpy(d, in + from, n);
      } else {
        if (p->stencil) {
          for (size_t j = 0; j < n; ++j) d[j] &= m[from + j];
        } else {
          for (size_t j = 0; j < n; ++j) d[j] = static_cast<uint8_t>((d[j] & m[from + j]) | in[from + j]);
        }
      }
      touch(&p->target.touched, a, y, b, y + 1);
    });
  }
}

// The per-entry caches of palette images live on the image for the length of one drawing.
void release_caches(Image* img) {
  base::heap_free(img->ditherCache);
  base::heap_free(img->colourCache);
  img->ditherCache = nullptr;
  img->colourCache = nullptr;
}
using HeldCaches = base::Owned<Image*, release_caches>;

// Palette images outside true colour: per entry the 64 numbers of its dither pattern (pattern
// modes) or its one matched colour number. False when memory runs out.
bool prepare_caches(const Plan& p, Image* img) {
  const int32_t mode = p.colour_mode;
  if (!p.entries || mode == kDrawTrueColour) return true;
  const auto entries = static_cast<size_t>(p.entries);
  if (mode == kDrawMono || mode == kDrawGrayDither || mode == kDrawColourDither) {
    img->ditherCache = static_cast<int32_t*>(base::heap_alloc(entries * 64 * sizeof(int32_t)));
    if (!img->ditherCache) return false;
    for (int32_t e = 0; e < p.entries; ++e) {
      dither_pattern(img->ditherCache + e * 64, p.entry_colour[e], dither_kind(mode), kColours);
    }
    return true;
  }
  img->colourCache = static_cast<int32_t*>(base::heap_alloc(entries * sizeof(int32_t)));
  if (!img->colourCache) return false;
  for (int32_t e = 0; e < p.entries; ++e) {
    const uint32_t c = p.entry_colour[e];
    img->colourCache[e] = mode == kDrawGray ? nearest_gray(c, kColours) : nearest_colour(c, kColours);
  }
  return true;
}

// The band buffer: as many rows (with their mask half) as stay below kBandLimit, fewer when
// memory is short, down to kSmallestBand. Null when even that cannot be had.
uint8_t* take_band(int64_t visible_rows, int64_t row_size, int64_t halves, int64_t* band_rows) {
  const int64_t fitting = std::max<int64_t>((kBandLimit - 1) / (row_size * halves), 1);
  int64_t rows = std::min<int64_t>(visible_rows, fitting);
  uint8_t* band = work_buffer(static_cast<size_t>(rows * row_size * halves));
  while (!band && rows > 1 && rows * row_size * halves >= kSmallestBand) {
    --rows;
    band = work_buffer(static_cast<size_t>(rows * row_size * halves));
  }
  *band_rows = rows;
  return band;
}

// Per visible column: the source columns it gathers (first..last, when averaging) or the one it
// shows (last), and the sums of the averages.
struct Columns {
  int32_t* first;
  int32_t* last;
  Sums sums;
};

// Room for the columns in `scratch` (laid out by columns_scratch_size).
size_t columns_scratch_size(int32_t vw, bool averaging) {
  return static_cast<size_t>(vw) * (2 * sizeof(int32_t) + (averaging ? 4 * sizeof(uint64_t) : 0));
}

Columns map_columns(const Plan& p, bool averaging, uint8_t* scratch) {
  const int32_t vw = p.vx1 - p.vx0;
  Columns c{};
  c.first = reinterpret_cast<int32_t*>(scratch);
  c.last = c.first + vw;
  if (averaging) {
    auto* s = reinterpret_cast<uint64_t*>(scratch + static_cast<size_t>(vw) * 2 * sizeof(int32_t));
    c.sums = Sums{s, s + vw, s + 2 * vw, s + 3 * vw};
  }
  for (int32_t i = 0; i < vw; ++i) {
    const int64_t rel = p.vx0 + i - p.dx;
    c.last[i] = static_cast<int32_t>(p.sx + ceil_div((rel + 1) * p.sw, p.dw) - 1);
    c.first[i] = averaging ? static_cast<int32_t>(p.sx + ceil_div(rel * p.sw, p.dw)) : c.last[i];
  }
  return c;
}

// Destination row y into the band row `b` points at: each pixel its one source pixel, or the
// mean of its block when shrinking (rows too when shrinking both ways).
void draw_row(const Band& b, Columns* c, int32_t y, bool averaging, bool row_groups) {
  const Plan& p = *b.p;
  const int32_t vw = p.vx1 - p.vx0;
  const int64_t rel = y - p.dy;
  const int64_t r_last = p.sy + ceil_div((rel + 1) * p.sh, p.dh) - 1;
  const int64_t r_first = row_groups ? p.sy + ceil_div(rel * p.sh, p.dh) : r_last;
  if (!averaging) {
    for (int32_t i = 0; i < vw; ++i) single(b, p.vx0 + i, y, c->last[i], r_last);
    return;
  }
  std::memset(c->sums.red, 0, static_cast<size_t>(vw) * 4 * sizeof(uint64_t));
  for (int64_t r = r_first; r <= r_last; ++r) gather_row(p, c->first, c->last, vw, r, &c->sums);
  const int64_t block_rows = r_last - r_first + 1;
  for (int32_t i = 0; i < vw; ++i) {
    const int32_t x = p.vx0 + i;
    if ((c->last[i] - c->first[i] + 1) * block_rows == 1) {
      single(b, x, y, c->last[i], r_last);
      continue;
    }
    const uint64_t n = c->sums.count[i];
    if (n == 0) continue;  // every pixel of the block is transparent
    const auto mean = [n](const uint64_t* sum) { return static_cast<uint32_t>(*sum / n); };
    averaged(b, x, y, colour_value(mean(c->sums.red + i), mean(c->sums.green + i), mean(c->sums.blue + i)));
  }
}

}  // namespace

int draw_slow(Plan* p) {
  Image* img = p->img;
  const int32_t vw = p->vx1 - p->vx0;
  const int64_t row_size = (static_cast<int64_t>(vw) * 3 + 3) & ~int64_t{3};
  const int64_t halves = p->masked ? 2 : 1;
  int64_t band_rows = 0;
  uint8_t* band = take_band(p->vy1 - p->vy0, row_size, halves, &band_rows);
  if (!band) return 0;
  uint8_t* mask = band + band_rows * row_size;

  const HeldCaches caches(img);
  if (!prepare_caches(*p, img)) return 0;
  const bool averaging = p->dw < p->sw;
  const bool row_groups = averaging && p->dh < p->sh;
  const base::HeapBlock scratch(base::heap_alloc(columns_scratch_size(vw, averaging)));
  if (!scratch) return 0;
  Columns columns = map_columns(*p, averaging, static_cast<uint8_t*>(scratch.get()));

  // Colour numbers are 16-bit values while the filters look at them.
  const int32_t old_mode = graphics::set_colour_mode(graphics::kDirectMode);
  Band b{p, nullptr, nullptr, img->ditherCache, img->colourCache};
  int32_t bands = 0;
  for (int32_t top = p->vy0; top < p->vy1; top += static_cast<int32_t>(band_rows)) {
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(band_rows, p->vy1 - top));
    std::memset(band, 0, static_cast<size_t>(rows * row_size));
    if (p->masked) std::memset(mask, 0xFF, static_cast<size_t>(rows * row_size));
    for (int32_t k = 0; k < rows; ++k) {
      b.image_row = band + static_cast<int64_t>(rows - 1 - k) * row_size;
      b.mask_row = mask + static_cast<int64_t>(rows - 1 - k) * row_size;
      draw_row(b, &columns, top + k, averaging, row_groups);
    }
    output_band(p, band, mask, row_size, top, rows);
    ++bands;
  }
  graphics::set_colour_mode(old_mode);
  report().band_rows = static_cast<int32_t>(band_rows);
  report().band_count = bands;
  return 1;
}

}  // namespace lumra::image::draw_detail
