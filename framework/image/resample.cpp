// Resampling: per-value preparation for palette and gray sources (caches of dither patterns,
// levels or colour numbers), block averages when shrinking both ways, spans otherwise. Every write
// goes through the destination's bounds-checked pixel store; loops only visit destination pixels
// that exist.
#include "framework/image/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw.h"

namespace lumra::image {
namespace {

using base::fail;

constexpr double kBrightnessEdge = 0.999;
constexpr double kBrightnessSaturated = 1e6;

struct Prep {
  const Image* src;
  Image* dst;
  int32_t mode;
  double k;
  int32_t format;      // the destination's
  int32_t levels;      // gray and Mono1 destinations: 2, 16, 256
  int32_t colours;     // indexed destinations: 16, 256
  bool clear_used;     // equal formats in transparency mode 2 or 4
  uint32_t clear_value;
  int32_t entries;     // palette sources
  int32_t* pattern;    // entries x 64, for the pattern modes
  int32_t* value;      // entries, otherwise
  uint32_t colour[256];
};

bool pattern_mode(int32_t mode) { return mode == kDrawMono || mode == kDrawGrayDither || mode == kDrawColourDither; }

int32_t dither_kind(int32_t mode) {
  return mode == kDrawMono ? kDitherMono : mode == kDrawGrayDither ? kDitherGray : kDitherColour;
}

// Brightness as both the palette and the pixel paths use it: any finite k (beyond +-255 every
// channel is already black or white), NaN as 0.
double usable_brightness(double k) {
  if (std::isnan(k)) return 0;
  return std::clamp(k, -kBrightnessSaturated, kBrightnessSaturated);
}

uint32_t scaled_channel(uint32_t c, double k) {
  const double v = std::floor(c * (1 + k) + 0.5);
  return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
}

uint32_t scaled_colour(uint32_t c, double k) {
  if (k == 0) return c & 0xFFFFFF;
  return colour_value(scaled_channel(c & 255, k), scaled_channel(c >> 8 & 255, k), scaled_channel(c >> 16 & 255, k));
}

// The level of brightness v (0..25500) in 1/64 steps of levels - 1 steps, on the power curve the
// palette preparation uses.
int64_t curve_level(int64_t v, int32_t levels, double k) {
  const int64_t top = static_cast<int64_t>(levels - 1) * 64;
  if (k == 0) return top * v / kBrightnessWhite;
  if (v <= 0 || k < -kBrightnessEdge) return 0;
  if (v >= kBrightnessWhite || k > kBrightnessEdge) return top;
  const double f = static_cast<double>(v) / kBrightnessWhite;
  if (k > 0) return static_cast<int64_t>(std::floor(top * std::pow(f, 1 - k) + 0.5));
  return static_cast<int64_t>(std::floor(top * (1 - std::pow(1 - f, 1 + k)) + 0.5));
}

// The same for a computed colour: the brightness moved toward white or black first.
int64_t linear_level(int64_t v, int32_t levels, double k) {
  double b = static_cast<double>(v);
  if (k > 0) b = b * (1 - k) + kBrightnessWhite * k;
  if (k < 0 && v < 25300) b = b * (1 + k);
  const auto moved = static_cast<int64_t>(std::clamp(b, 0.0, static_cast<double>(kBrightnessWhite)));
  return static_cast<int64_t>(levels - 1) * 64 * moved / kBrightnessWhite;
}

int32_t level_value(const Prep& p, int64_t level, int64_t x, int64_t y) {
  int64_t v = pattern_mode(p.mode) ? level / 64 + (level % 64 > kBayer[bayer_index(x, y)] ? 1 : 0) : (level + 32) / 64;
  return static_cast<int32_t>(std::min<int64_t>(v, p.levels - 1));
}

// A colour brought into the destination format at destination pixel (x, y).
uint32_t convert(const Prep& p, uint32_t colour, int64_t x, int64_t y) {
  if (p.format == Rgb32) return scaled_colour(colour, p.k);
  if (p.levels) return static_cast<uint32_t>(level_value(p, linear_level(brightness(colour), p.levels, p.k), x, y));
  if (pattern_mode(p.mode)) return static_cast<uint32_t>(dither_entry(colour, dither_kind(p.mode), p.colours, bayer_index(x, y)));
  if (p.mode == kDrawGray) return static_cast<uint32_t>(nearest_gray(colour, p.colours));
  return static_cast<uint32_t>(nearest_colour(colour, p.colours));
}

// A palette source's value, through the prepared caches.
uint32_t cached(const Prep& p, uint32_t v, int64_t x, int64_t y) {
  if (p.format == Rgb32) return scaled_colour(p.colour[v], p.k);
  if (p.pattern) return static_cast<uint32_t>(p.pattern[v * 64 + static_cast<uint32_t>(bayer_index(x, y))]);
  return static_cast<uint32_t>(p.value[v]);
}

// Palette sources: each entry's colour, and for non-true-colour destinations its dither pattern
// or matched value, in `cache` (owned by the caller).
int prepare(Prep* p, base::HeapBlock* cache_block) {
  const Image* src = p->src;
  if (!is_palette_format(src->format)) return 1;
  p->entries = format_entries(src->format);
  for (int32_t i = 0; i < p->entries; ++i) p->colour[i] = entry_colour(src, static_cast<uint32_t>(i));
  if (p->format == Rgb32) return 1;
  const bool patterns = pattern_mode(p->mode);
  const size_t n = static_cast<size_t>(p->entries) * (patterns ? 64 : 1);
  cache_block->reset(base::heap_alloc(n * sizeof(int32_t)));
  auto* cache = static_cast<int32_t*>(cache_block->get());
  if (!cache) return fail("out of memory for the resample caches");
  (patterns ? p->pattern : p->value) = cache;
  for (int32_t e = 0; e < p->entries; ++e) {
    const uint32_t c = p->colour[e];
    if (p->levels) {
      const int64_t level = curve_level(brightness(c), p->levels, p->k);
      if (!patterns) {
        cache[e] = static_cast<int32_t>(std::min<int64_t>((level + 32) / 64, p->levels - 1));
        continue;
      }
      for (int32_t i = 0; i < 64; ++i) {
        const int64_t step = level / 64 + (level % 64 > kBayer[i] ? 1 : 0);
        cache[e * 64 + i] = static_cast<int32_t>(std::min<int64_t>(step, p->levels - 1));
      }
    } else if (patterns) {
      dither_pattern(cache + e * 64, c, dither_kind(p->mode), p->colours);
    } else {
      cache[e] = p->mode == kDrawGray ? nearest_gray(c, p->colours) : nearest_colour(c, p->colours);
    }
  }
  return 1;
}

// Raw value and colour of a source pixel, and whether it is transparent.
struct Sample {
  uint32_t raw;
  uint32_t colour;
  bool clear;
};

Sample sample(const Prep& p, int64_t c, int64_t r) {
  Sample s{};
  image_get_pixel(p.src, static_cast<int32_t>(c), static_cast<int32_t>(r), &s.raw);
  if (p.src->format == Rgb32) {
    s.colour = s.raw & 0xFFFFFF;
    s.clear = p.clear_used && s.colour == (p.clear_value & 0xFFFFFF);
  } else {
    s.colour = p.colour[s.raw];
    s.clear = p.clear_used && s.raw == p.clear_value;
  }
  return s;
}

// One resample, its sizes already checked: the source rectangle (inside the source) into the
// destination at (dest_x, dest_y), dest_w x dest_h pixels.
struct ResampleJob {
  Image* dst;
  const Image* src;
  int32_t colour_mode;
  int32_t format;  // 0..5: dst is allocated anew; -1: written into as it is
  int64_t dest_x, dest_y, dest_w, dest_h;
  int64_t sx, sy, sw, sh;
  double k;
};

// A fresh destination: allocated at the drawn size, zeroed (Mono1 with its black and white
// palette), written from (0, 0). Otherwise the destination must have pixels.
int prepare_destination(ResampleJob* job) {
  Image* dst = job->dst;
  if (job->format < 0) return dst->pixels ? 1 : fail("resample into an image without pixels");
  image_free(dst);
  static const uint32_t kBlackWhite[2] = {0, colour_value(255, 255, 255)};
  const bool mono = job->format == Mono1;
  if (!image_allocate(dst, job->format, static_cast<int32_t>(job->dest_w), static_cast<int32_t>(job->dest_h),
                      mono ? 2 : 0, mono ? kBlackWhite : nullptr, 0, 0)) {
    return 0;
  }
  if (dst->pixels) std::memset(dst->pixels, 0, static_cast<size_t>(dst->stride) * dst->height);
  job->dest_x = job->dest_y = 0;
  return 1;
}

// Equal formats carry the source's transparency over; modes 2 and 4 leave transparent pixels
// out, a fresh destination starting filled with the transparent value.
void carry_transparency(const ResampleJob& job, Prep* p) {
  const Image* src = job.src;
  Image* dst = job.dst;
  const int32_t t = transparency_mode(src);
  set_transparency_mode(dst, t);
  dst->transparentIndex = src->transparentIndex;
  dst->keyColour = src->keyColour;
  if (t != 2 && t != 4) return;
  p->clear_used = true;
  p->clear_value = src->format == Rgb32 ? src->keyColour : src->transparentIndex;
  if (t == 2) image_get_pixel(src, 0, 0, &p->clear_value);
  if (job.format < 0) return;
  if (dst->format == Rgb32) {
    image_fill_rgb(dst, p->clear_value);
  } else {
    image_fill(dst, p->clear_value);
  }
}

// Destination pixels that exist: relative x in [x_lo, x_hi), y in [y_lo, y_hi).
struct Visible {
  int64_t x_lo, x_hi, y_lo, y_hi;
};

void put(const ResampleJob& job, int64_t x, int64_t y, uint32_t v) {
  image_set_pixel(job.dst, static_cast<int32_t>(job.dest_x + x), static_cast<int32_t>(job.dest_y + y), v);
}

// Shrinking both ways: each destination pixel is the mean of its block of source pixels, the
// destination's own colour standing in for transparent ones.
void average_blocks(const ResampleJob job, const Prep& p, const Visible v) {
  const int64_t dw = job.dest_w, dh = job.dest_h, sw = job.sw, sh = job.sh;
  for (int64_t y = v.y_lo; y < v.y_hi; ++y) {
    // Both ends included, so neighbouring blocks share a row; the last stays inside the source.
    const int64_t r0 = y * sh / dh, r1 = std::min((y + 1) * sh / dh, sh - 1);
    for (int64_t x = v.x_lo; x < v.x_hi; ++x) {
      const int64_t c0 = x * sw / dw, c1 = std::min((x + 1) * sw / dw, sw - 1);
      uint64_t red = 0, green = 0, blue = 0, n = 0;
      uint32_t under = 0;
      bool under_known = false;
      const int64_t first_c = job.sx + c0, last_c = job.sx + c1, last_r = job.sy + r1;
      for (int64_t r = job.sy + r0; r <= last_r; ++r) {
        for (int64_t c = first_c; c <= last_c; ++c) {
          const Sample s = sample(p, c, r);
          uint32_t colour = s.colour;
          if (s.clear) {
            if (!under_known) {
              uint32_t raw = 0;
              const auto ux = static_cast<int32_t>(job.dest_x + x), uy = static_cast<int32_t>(job.dest_y + y);
              image_get_pixel_colour(job.dst, ux, uy, &raw, &under);
              under_known = true;
            }
            colour = under;
          }
          red += colour & 255, green += colour >> 8 & 255, blue += colour >> 16 & 255, ++n;
        }
      }
      const uint32_t mean = colour_value(static_cast<uint32_t>(red / n), static_cast<uint32_t>(green / n),
                                         static_cast<uint32_t>(blue / n));
      put(job, x, y, convert(p, mean, job.dest_x + x, job.dest_y + y));
    }
  }
}

// Otherwise each source pixel is repeated over its destination span; transparent ones are
// left out.
void repeat_spans(const ResampleJob job, const Prep& p, const Visible v) {
  const int64_t dw = job.dest_w, dh = job.dest_h, sw = job.sw, sh = job.sh;
  const bool rgb_source = job.src->format == Rgb32;
  for (int64_t r = 0; r < sh; ++r) {
    // Every source pixel covers at least one destination row and column.
    const int64_t y0 = std::max(r * dh / sh, v.y_lo);
    const int64_t y1 = std::min(std::max((r + 1) * dh / sh, r * dh / sh + 1), v.y_hi);
    if (y0 >= y1) continue;
    for (int64_t c = 0; c < sw; ++c) {
      const int64_t x0 = std::max(c * dw / sw, v.x_lo);
      const int64_t x1 = std::min(std::max((c + 1) * dw / sw, c * dw / sw + 1), v.x_hi);
      if (x0 >= x1) continue;
      const Sample s = sample(p, job.sx + c, job.sy + r);
      if (s.clear) continue;
      for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
          uint32_t value = rgb_source ? convert(p, s.colour, job.dest_x + x, job.dest_y + y)
                                      : cached(p, s.raw, job.dest_x + x, job.dest_y + y);
          // A picture file's alpha byte rides along where one pixel becomes one colour.
          if (rgb_source && p.format == Rgb32) value |= s.raw & 0xFF000000u;
          put(job, x, y, value);
        }
      }
    }
  }
}

int resample_into(ResampleJob job) {
  const bool equal = (job.format < 0 ? job.dst->format : job.format) == job.src->format;
  if (!prepare_destination(&job)) return 0;
  Image* dst = job.dst;

  // The preparation is large (a 256-entry table): heap, not stack.
  const base::HeapBlock prep(base::heap_alloc_zeroed(1, sizeof(Prep)));
  auto* p = static_cast<Prep*>(prep.get());
  if (!p) return fail("out of memory for the resample");
  p->src = job.src;
  p->dst = dst;
  p->mode = job.colour_mode;
  p->k = job.k;
  p->format = dst->format;
  p->levels = dst->format == Mono1 ? 2 : dst->format == Gray4 ? 16 : dst->format == Gray8 ? 256 : 0;
  p->colours = dst->format == Indexed4 ? 16 : 256;
  if (equal) carry_transparency(job, p);
  base::HeapBlock cache;
  if (!prepare(p, &cache)) return 0;

  const Visible v{std::max<int64_t>(0, -job.dest_x), std::min<int64_t>(job.dest_w, dst->width - job.dest_x),
                  std::max<int64_t>(0, -job.dest_y), std::min<int64_t>(job.dest_h, dst->height - job.dest_y)};
  if (job.dest_w < job.sw && job.dest_h < job.sh) {
    average_blocks(job, *p, v);
  } else {
    repeat_spans(job, *p, v);
  }
  return 1;
}

}  // namespace

int image_resample(Image* dst, const Image* src, int32_t colour_mode, int32_t format, int32_t dest_x, int32_t dest_y,
                   int32_t dest_width, int32_t dest_height, int32_t source_x, int32_t source_y, int32_t source_width,
                   int32_t source_height, double brightness_k) {
  if (!src->pixels || !src->width || !src->height) return fail("resample of an image without pixels");
  if (format < -1 || format >= kFormatCount) return fail("unknown pixel format");
  if (dest_width < 0 || dest_height < 0) return fail("negative resample size");
  const int64_t width = src->width, height = src->height;
  ResampleJob job{dst, src, colour_mode, format, dest_x, dest_y, 0, 0, 0, 0, 0, 0, 0};
  job.sx = std::max(source_x, 0);
  job.sy = std::max(source_y, 0);
  if (job.sx >= width || job.sy >= height) return fail("source rectangle outside the image");
  job.sw = source_width;
  job.sh = source_height;
  if (job.sw <= 0 || job.sx + job.sw > width) job.sw = width - job.sx;
  if (job.sh <= 0 || job.sy + job.sh > height) job.sh = height - job.sy;
  job.dest_w = dest_width ? dest_width : width;
  job.dest_h = dest_height ? dest_height : height;
  job.k = usable_brightness(brightness_k);
  if (dst != src) return resample_into(job);
  // Onto itself: read from a copy.
  Image copy{};
  const HeldImage held(&copy);
  if (!image_copy(&copy, src)) return 0;
  job.src = &copy;
  return resample_into(job);
}

int image_adjust_brightness(Image* img, double k) {
  if (!img->pixels) return fail("brightness of an image without pixels");
  k = usable_brightness(k);
  if (img->format == Indexed4 || img->format == Indexed8) {
    const int32_t entries = format_entries(img->format);
    if (!img->palette || img->paletteCount <= 0) {
      // The window palette is shared: the image gets its own copy to change.
      uint32_t own[256];
      for (int32_t i = 0; i < entries; ++i) own[i] = entry_colour(img, static_cast<uint32_t>(i));
      auto* palette = static_cast<uint32_t*>(base::heap_alloc(static_cast<size_t>(entries) * 4));
      if (!palette) return fail("out of memory for the palette");
      std::memcpy(palette, own, static_cast<size_t>(entries) * 4);
      base::heap_free(img->palette);
      img->palette = palette;
      img->paletteCount = static_cast<int16_t>(entries);
    }
    const int32_t n = std::min<int32_t>(entries, img->paletteCount);
    for (int32_t i = 0; i < n; ++i) img->palette[i] = (img->palette[i] & 0xFF000000u) | scaled_colour(img->palette[i], k);
    return 1;
  }
  if (img->format != Rgb32) return 1;
  return image_resample(img, img, kDrawNearest, Rgb32, 0, 0, 0, 0, 0, 0, 0, 0, k);
}

}  // namespace lumra::image
