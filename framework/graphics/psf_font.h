// Console bitmap fonts (PSF1 and PSF2, plain or gzipped, as Debian's console-setup ships them)
// for the few texts the window draws itself, such as tooltips. Glyphs are found by Unicode scalar
// value through the font's table; files past the limits below are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/base/dynarray.h"

namespace lumra::graphics {

inline constexpr uint32_t kPsfMaxGlyphs = 65536;
inline constexpr uint32_t kPsfMaxSide = 64;              // pixels, width and height
inline constexpr size_t kPsfMaxFileBytes = 4u << 20;     // after decompression

struct PsfFont {
  uint8_t* glyphs;  // framework heap: glyph_count x glyph_bytes
  uint32_t glyph_count;
  uint32_t glyph_bytes;
  uint32_t width;
  uint32_t height;
  uint32_t row_bytes;
  base::DynArray map;  // PsfMapEntry sorted by code point; empty: glyph index = code point
};

struct PsfMapEntry {
  uint32_t code_point;
  uint32_t glyph;
};

// 1, or 0 with a reason for data that is not a well-formed font within the limits.
int psf_parse(PsfFont* font, const uint8_t* data, size_t size);
int psf_load_file(PsfFont* font, const char* path);
void psf_release(PsfFont* font);
// The glyph for a code point, else the glyph for '?', else -1.
int32_t psf_glyph(const PsfFont* font, uint32_t code_point);
bool psf_pixel(const PsfFont* font, int32_t glyph, uint32_t x, uint32_t y);

}  // namespace lumra::graphics
