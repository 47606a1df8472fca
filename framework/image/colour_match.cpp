// Colour matching with the window palette's own integer rules. The gray and colour dithers are
// defined for every depth: 16 colours by the four grays, 256 colours by the colour cube, the
// 15- and 16-bit depths on the low bits their components lose.
#include "framework/image/colour_match.h"

#include <cstdlib>

#include "framework/graphics/colour.h"
#include "framework/graphics/palette.h"
#include "framework/image/image.h"

namespace lumra::image {

const uint8_t kBayer[64] = {
    0,  32, 8,  40, 2,  34, 10, 42,  //
    48, 16, 56, 24, 50, 18, 58, 26,  //
    12, 44, 4,  36, 14, 46, 6,  38,  //
    60, 28, 52, 20, 62, 30, 54, 22,  //
    3,  35, 11, 43, 1,  33, 9,  41,  //
    51, 19, 59, 27, 49, 17, 57, 25,  //
    15, 47, 7,  39, 13, 45, 5,  37,  //
    63, 31, 55, 23, 61, 29, 53, 21,  //
};

namespace {

enum class Depth { kNone, kMono, k16, k256, k15Bit, k16Bit };

Depth depth_of(int32_t colours) {
  switch (colours == 0 ? kWindowColours : colours) {
    case 1:
    case 2: return Depth::kMono;
    case 15:
    case 16: return Depth::k16;
    case 255:
    case 256: return Depth::k256;
    case 32767:
    case 32768: return Depth::k15Bit;
    case 65535: return Depth::k16Bit;
    default: return Depth::kNone;
  }
}

int32_t red(uint32_t c) { return static_cast<int32_t>(c & 255); }
int32_t green(uint32_t c) { return static_cast<int32_t>(c >> 8 & 255); }
int32_t blue(uint32_t c) { return static_cast<int32_t>(c >> 16 & 255); }
bool is_gray(uint32_t c) { return red(c) == green(c) && green(c) == blue(c); }

// 8-bit component to the palette's 6-bit units.
int32_t six_bits(int32_t c) { return c * 255 / 1020; }

constexpr int32_t kMonoThreshold = 12751;

int32_t nearest_of_16(int32_t r, int32_t g, int32_t b) {
  int32_t best = 0;
  int32_t best_distance = INT32_MAX;
  const int32_t want[3] = {r, g, b};
  for (int32_t i = 0; i < 16; ++i) {
    const graphics::PaletteEntry& e = graphics::palette_entry(i);
    const int32_t have[3] = {e.red, e.green, e.blue};
    int32_t d = 0;
    // A component the wanted colour lacks entirely weighs double: keeps pure hues pure.
    for (int k = 0; k < 3; ++k) d += std::abs(want[k] - have[k]) * (want[k] == 0 ? 2 : 1);
    if (d < best_distance) best_distance = d, best = i;
  }
  return best;
}

int32_t nearest_of_256(int32_t r, int32_t g, int32_t b) {
  if (r == g && g == b) {
    const int32_t v = 16 + r * 15 / 63;
    return v == 16 ? 0 : v;
  }
  for (int32_t i = 0; i < 32; ++i) {
    const graphics::PaletteEntry& e = graphics::palette_entry(i);
    if (e.red == r && e.green == g && e.blue == b) return i;
  }
  const int32_t v = 32 + 36 * (r / 11) + 6 * (g / 11) + b / 11;
  return v == 32 ? 0 : v;
}

int32_t pack15(int32_t r5, int32_t g5, int32_t b5) { return r5 << 10 | g5 << 5 | b5; }
int32_t pack16(int32_t r5, int32_t g6, int32_t b5) { return r5 << 11 | g6 << 5 | b5; }

// A level `v` in 1/64 steps of `levels` - 1 steps, rounded up where the fraction beats the threshold.
int32_t dithered_level(int64_t scaled, int32_t threshold, int32_t top) {
  const int32_t level = static_cast<int32_t>(scaled / 64) + (scaled % 64 > threshold ? 1 : 0);
  return level > top ? top : level;
}

int32_t gray_dither(uint32_t c, Depth depth, int32_t colours, int32_t t) {
  const int32_t l = brightness(c);
  switch (depth) {
    case Depth::kMono: return l / 394 > t ? white_number(colours) : 0;
    case Depth::k16: {
      const int32_t v = l / 132;
      if (v < 32) return 2 * v > t ? 8 : 0;
      if (v < 128) return (v - 32) * 2 / 3 > t ? 7 : 8;
      if (v < 192) return v - 128 > t ? 15 : 7;
      return 15;
    }
    case Depth::k256: return 16 + dithered_level(static_cast<int64_t>(l) * 15 * 64 / kBrightnessWhite, t, 15);
    case Depth::k15Bit: {
      const int32_t g = dithered_level(static_cast<int64_t>(l) * 31 * 64 / kBrightnessWhite, t, 31);
      return pack15(g, g, g);
    }
    case Depth::k16Bit: {
      const int32_t g = dithered_level(static_cast<int64_t>(l) * 63 * 64 / kBrightnessWhite, t, 63);
      return pack16(g >> 1, g, g >> 1);
    }
    case Depth::kNone: break;
  }
  return 0;
}

// One component of `bits` bits, rounded up where the bits it loses, scaled to 0..63, beat t.
int32_t dithered_component(int32_t c, int32_t bits, int32_t t) {
  const int32_t lost = 8 - bits;
  const int32_t step = 1 << lost;
  const int32_t base = c >> lost;
  const int32_t top = (1 << bits) - 1;
  const int32_t up = t < (c & (step - 1)) * 63 / step ? 1 : 0;
  return base + up > top ? top : base + up;
}

int32_t colour_dither(uint32_t c, Depth depth, int32_t colours, int32_t t) {
  const int32_t r = red(c), g = green(c), b = blue(c);
  switch (depth) {
    case Depth::kMono: return gray_dither(c, depth, colours, t);
    case Depth::k16: return nearest_of_16(six_bits(r), six_bits(g), six_bits(b));
    case Depth::k256: {
      int32_t v = 32 + 36 * (r / 51) + 6 * (g / 51) + b / 51;
      if (t < r % 51 * 63 / 51) v += 36;
      if (t < g % 51 * 63 / 51) v += 6;
      if (t < b % 51 * 63 / 51) v += 1;
      return v;
    }
    case Depth::k15Bit:
      return pack15(dithered_component(r, 5, t), dithered_component(g, 5, t), dithered_component(b, 5, t));
    case Depth::k16Bit:
      return pack16(dithered_component(r, 5, t), dithered_component(g, 6, t), dithered_component(b, 5, t));
    case Depth::kNone: break;
  }
  return 0;
}

}  // namespace

int32_t white_number(int32_t colours) {
  switch (depth_of(colours)) {
    case Depth::kMono:
    case Depth::k16:
    case Depth::k256: return 15;
    case Depth::k15Bit: return 0x7FFF;
    case Depth::k16Bit: return 0xFFFF;
    case Depth::kNone: break;
  }
  return 0;
}

int32_t nearest_colour(uint32_t c, int32_t colours) {
  if ((c & 0xFFFFFF) == 0) return 0;
  const int32_t r = red(c), g = green(c), b = blue(c);
  switch (depth_of(colours)) {
    case Depth::kMono: return brightness(c) >= kMonoThreshold ? 15 : 0;
    case Depth::k16: return nearest_of_16(six_bits(r), six_bits(g), six_bits(b));
    case Depth::k256: return nearest_of_256(six_bits(r), six_bits(g), six_bits(b));
    case Depth::k15Bit: return pack15(r >> 3, g >> 3, b >> 3);
    case Depth::k16Bit: return pack16(r >> 3, g >> 2, b >> 3);
    case Depth::kNone: break;
  }
  return 0;
}

int32_t nearest_gray(uint32_t c, int32_t colours) {
  const int32_t l = brightness(c);
  switch (depth_of(colours)) {
    case Depth::kMono: return l >= kMonoThreshold ? 15 : 0;
    case Depth::k16: {
      static constexpr int32_t kFour[4] = {0, 8, 7, 15};
      return kFour[l / 6376];
    }
    case Depth::k256: return 16 + l / 1594;
    case Depth::k15Bit: {
      const int32_t g = l / 797;
      return pack15(g, g, g);
    }
    case Depth::k16Bit: {
      const int32_t g = l / 399;
      return pack16(g >> 1, g, g >> 1);
    }
    case Depth::kNone: break;
  }
  return 0;
}

int32_t dither_entry(uint32_t c, int32_t kind, int32_t colours, int32_t index) {
  const Depth depth = depth_of(colours);
  const int32_t t = kBayer[index & 63];
  if (is_gray(c)) {
    if (kind == kDitherNearest) kind = kDitherNearestGray;
    if (kind == kDitherColour) kind = kDitherGray;
  }
  switch (kind) {
    case kDitherMono: return depth == Depth::kNone ? 0 : (brightness(c) / 394 > t ? white_number(colours) : 0);
    case kDitherNearestGray: return nearest_gray(c, colours);
    case kDitherGray: return gray_dither(c, depth, colours, t);
    case kDitherNearest: return nearest_colour(c, colours);
    case kDitherColour: return colour_dither(c, depth, colours, t);
    default: return 0;
  }
}

void dither_pattern(int32_t out[64], uint32_t c, int32_t kind, int32_t colours) {
  if (kind == kDitherKeep) return;
  // The two flat kinds need one match, not 64.
  const bool gray = is_gray(c);
  if (kind == kDitherNearestGray || kind == kDitherNearest) {
    const int32_t v = kind == kDitherNearest && !gray ? nearest_colour(c, colours) : nearest_gray(c, colours);
    for (int32_t i = 0; i < 64; ++i) out[i] = v;
    return;
  }
  for (int32_t i = 0; i < 64; ++i) out[i] = dither_entry(c, kind, colours, i);
}

uint32_t number_colour(int32_t number, int32_t colours) {
  switch (depth_of(colours)) {
    case Depth::kMono:
    case Depth::k16:
    case Depth::k256: return graphics::pixel_colour(graphics::kPaletteMode, number);
    case Depth::k15Bit: {
      const auto v = static_cast<uint32_t>(number);
      return colour_value((v >> 10 & 31) * 255 / 31, (v >> 5 & 31) * 255 / 31, (v & 31) * 255 / 31);
    }
    case Depth::k16Bit:
    case Depth::kNone: break;
  }
  return graphics::pixel_colour(graphics::kDirectMode, number);
}

}  // namespace lumra::image
