// System fonts through FreeType: sizing by the Windows metrics of the OS/2 table, glyphs rendered
// once per font and byte, drawn by coverage blending. The mapping is documented in the header.
#include "framework/graphics/system_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>
#include <string>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/graphics/windows_chars.h"
#include "platform/system/fonts.h"

namespace lumra::graphics {

struct FontLibrary {
  FT_Library ft;
};

struct FontFace {
  FT_Face ft;
  bool embolden;  // paint each glyph again one pixel to the right
  bool slant;     // slant the outlines: an italic asked of a roman face
};

namespace {

using base::fail;

// GDI's tmPitchAndFamily bits.
constexpr uint8_t kPitchVariable = 0x01;  // TMPF_FIXED_PITCH, set for variable pitch
constexpr uint8_t kPitchVector = 0x02;
constexpr uint8_t kPitchTrueType = 0x04;
constexpr uint8_t kFamilyRoman = 0x10;
constexpr uint8_t kFamilySwiss = 0x20;
constexpr uint8_t kFamilyModern = 0x30;
constexpr uint8_t kFamilyScript = 0x40;
constexpr uint8_t kFamilyDecorative = 0x50;

// PANOSE bytes of the OS/2 table.
constexpr int kPanoseFamily = 0;
constexpr int kPanoseSerif = 1;
constexpr int kPanoseProportion = 3;
constexpr uint8_t kPanoseLatinText = 2;
constexpr uint8_t kPanoseHandWritten = 3;
constexpr uint8_t kPanoseDecorative = 4;
constexpr uint8_t kPanosePictorial = 5;
constexpr uint8_t kPanoseMonospaced = 9;
constexpr uint8_t kPanoseSansFirst = 11;  // normal, obtuse and perpendicular sans serif
constexpr uint8_t kPanoseSansLast = 13;

constexpr int32_t kBoldFromWeight = 600;
constexpr FT_Fixed kSlant = 0x3333;  // 0.2 in 16.16

void done_face(FT_Face face) { FT_Done_Face(face); }
using OwnedFace = base::Owned<FT_Face, done_face>;

const TT_OS2* os2_of(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  return os2 && os2->version != 0xFFFF ? os2 : nullptr;
}

uint8_t pitch_and_family(FT_Face face, const TT_OS2* os2) {
  const bool fixed = FT_IS_FIXED_WIDTH(face);
  uint8_t bits = fixed ? 0 : kPitchVariable;
  if (FT_IS_SCALABLE(face)) bits |= kPitchVector;
  if (FT_IS_SFNT(face)) bits |= kPitchTrueType;
  uint8_t family = 0;
  if (fixed) {
    family = kFamilyModern;
  } else if (os2) {
    const FT_Byte* p = os2->panose;
    if (p[kPanoseFamily] == kPanoseLatinText) {
      if (p[kPanoseProportion] == kPanoseMonospaced) {
        family = kFamilyModern;
      } else if (p[kPanoseSerif] >= kPanoseSansFirst && p[kPanoseSerif] <= kPanoseSansLast) {
        family = kFamilySwiss;
      } else {
        family = kFamilyRoman;
      }
    } else if (p[kPanoseFamily] == kPanoseHandWritten) {
      family = kFamilyScript;
    } else if (p[kPanoseFamily] == kPanoseDecorative || p[kPanoseFamily] == kPanosePictorial) {
      family = kFamilyDecorative;
    }
  }
  return static_cast<uint8_t>(bits | family);
}

int ensure_library(FontLibrary** library) {
  if (*library) return 1;
  auto* made = static_cast<FontLibrary*>(base::heap_alloc_zeroed(1, sizeof(FontLibrary)));
  if (!made) return fail("out of memory for the font library");
  if (FT_Init_FreeType(&made->ft) != 0) {
    base::heap_free(made);
    return fail("FreeType could not start");
  }
  *library = made;
  return 1;
}

// Sizes the face by the description and fills in the metrics.
int size_face(FT_Face face, const LogFont& d, TextMetrics* m) {
  const double units = face->units_per_EM;
  const TT_OS2* os2 = os2_of(face);
  double cell = os2 ? static_cast<double>(os2->usWinAscent) + os2->usWinDescent : 0;
  double ascent_units = os2 ? os2->usWinAscent : 0;
  if (cell <= 0) {
    cell = static_cast<double>(face->ascender) - face->descender;
    ascent_units = face->ascender;
  }
  if (cell <= 0) cell = units, ascent_units = units * 0.8;
  double average_units = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : 0;
  if (average_units <= 0 && FT_Load_Char(face, 'x', FT_LOAD_NO_SCALE) == 0) average_units = face->glyph->advance.x;
  if (average_units <= 0) average_units = units / 2;

  const int32_t height = d.height == 0 ? kDefaultCellHeight : d.height;
  const double em_y = height > 0 ? height * units / cell : -static_cast<double>(height);
  const double em_x = d.width != 0 ? std::fabs(static_cast<double>(d.width)) * units / average_units : em_y;
  if (em_y > kMaxFontPixels || em_x > kMaxFontPixels) return base::failf("a font of more than %d pixels", kMaxFontPixels);
  // Below a pixel nothing would show; FreeType's smallest size is 1/64.
  const FT_F26Dot6 size_x = std::max<FT_F26Dot6>(1, std::llround(em_x * 64));
  const FT_F26Dot6 size_y = std::max<FT_F26Dot6>(1, std::llround(em_y * 64));
  if (FT_Set_Char_Size(face, size_x, size_y, 72, 72) != 0) return fail("FreeType cannot size the font");

  const double scale_y = em_y / units, scale_x = em_x / units;
  const auto total = static_cast<int32_t>(std::lround(cell * scale_y));
  m->ascent = static_cast<int32_t>(std::lround(ascent_units * scale_y));
  m->descent = total - m->ascent;
  m->height = total;
  m->ave_char_width = static_cast<int32_t>(std::lround(average_units * scale_x));
  m->max_char_width = static_cast<int32_t>(std::lround(face->max_advance_width * scale_x));
  m->pitch_and_family = pitch_and_family(face, os2);
  return 1;
}

// Renders the glyph of one Windows byte. A glyph FreeType cannot load or render stays empty,
// with the advance it reported.
void render(SystemFont* font, uint8_t byte, GlyphImage* image) {
  GlyphImage& g = *image;
  g = GlyphImage{};
  g.rendered = true;
  FT_Face face = font->face->ft;
  const FT_UInt index = FT_Get_Char_Index(face, windows_code_point(byte));
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) return;
  FT_GlyphSlot slot = face->glyph;
  const int32_t extra = font->face->embolden ? 1 : 0;
  g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6) + extra;
  if (font->face->slant && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Matrix shear{0x10000, kSlant, 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &shear);
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.width == 0 || bm.rows == 0) return;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return;
  const auto w = static_cast<int32_t>(bm.width) + extra, rows = static_cast<int32_t>(bm.rows);
  auto* coverage = static_cast<uint8_t*>(base::heap_alloc_zeroed(static_cast<size_t>(w) * static_cast<size_t>(rows), 1));
  if (!coverage) return;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* in = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    uint8_t* out = coverage + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < static_cast<int32_t>(bm.width); ++x) {
      out[x] = bm.pixel_mode == FT_PIXEL_MODE_GRAY ? in[x] : ((in[x >> 3] >> (7 - (x & 7))) & 1) * 255;
    }
    // Emboldening: the glyph painted again one pixel on, as GDI makes a bold of a regular face.
    for (int32_t x = w - 1; x >= 1 && extra; --x) out[x] = std::max(out[x], out[x - 1]);
  }
  g.coverage = coverage;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = w;
  g.rows = rows;
}

// The font's glyph of a byte, rendered on first use; its coverage is kept only up to
// kMaxKeptGlyphBytes.
GlyphImage& glyph(SystemFont* font, uint8_t byte) {
  GlyphImage& g = font->glyphs[byte];
  if (g.rendered) return g;
  render(font, byte, &g);
  if (g.coverage && static_cast<size_t>(g.width) * static_cast<size_t>(g.rows) > kMaxKeptGlyphBytes) {
    base::heap_free(g.coverage);
    g.coverage = nullptr;
  }
  g.kept = g.coverage != nullptr;
  return g;
}

}  // namespace

bool same_log_font(const LogFont& a, const LogFont& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

int system_font_make(FontLibrary** library, SystemFont* font, const LogFont& description) {
  char name[kFaceNameSize + 1] = {};
  std::memcpy(name, description.face_name, kFaceNameSize);
  if (!name[0]) return fail("a font needs a face name");
  sys::FontFile file;
  if (!sys::find_font(windows_to_utf8_text(name).c_str(), description.weight, description.italic != 0, &file)) {
    return base::failf("the system has no font named \"%s\"", name);
  }
  return system_font_make_from_file(library, font, description, file);
}

int system_font_make_from_file(FontLibrary** library, SystemFont* font, const LogFont& description,
                               const sys::FontFile& file) {
  *font = SystemFont{};
  font->description = description;
  if (!ensure_library(library)) return 0;
  FT_Face raw = nullptr;
  if (FT_New_Face((*library)->ft, file.path.c_str(), file.index, &raw) != 0) {
    return base::failf("FreeType cannot read the font file %s", file.path.c_str());
  }
  OwnedFace face(raw);
  if (!FT_IS_SCALABLE(raw)) return base::failf("the font file %s holds no outlines", file.path.c_str());
  if (!size_face(raw, description, &font->metrics)) return 0;
  auto* made = static_cast<FontFace*>(base::heap_alloc_zeroed(1, sizeof(FontFace)));
  if (!made) return fail("out of memory for a font");
  made->embolden = description.weight >= kBoldFromWeight && file.weight < kBoldFromWeight;
  made->slant = description.italic && !file.italic;
  if (made->embolden) ++font->metrics.ave_char_width, ++font->metrics.max_char_width;
  made->ft = face.release_ownership();
  font->face = made;
  return 1;
}

void system_font_release(SystemFont* font) {
  for (GlyphImage& g : font->glyphs) base::heap_free(g.coverage);
  if (font->face) {
    FT_Done_Face(font->face->ft);
    base::heap_free(font->face);
  }
  *font = SystemFont{};
}

void font_library_release(FontLibrary** library) {
  if (!*library) return;
  FT_Done_FreeType((*library)->ft);
  base::heap_free(*library);
  *library = nullptr;
}

int32_t system_font_width(SystemFont* font, const char* text, size_t length) {
  if (!font->face) return 0;
  int64_t width = 0;
  for (size_t i = 0; i < length; ++i) width += glyph(font, static_cast<uint8_t>(text[i])).advance;
  return static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
}

void system_font_draw(RasterTarget* target, SystemFont* font, int64_t x, int64_t y, uint32_t align, const char* text,
                      size_t length, uint32_t colour) {
  if (!font->face || !length) return;
  int64_t pen = 0;  // along the text, from the reference point
  const uint32_t horizontal = align & kAlignHorizontalMask;
  if (horizontal == kAlignCenter) {
    pen = -(system_font_width(font, text, length) / 2);
  } else if (horizontal == kAlignRight) {
    pen = -system_font_width(font, text, length);
  }
  // Across the text, down from the reference point to the baseline.
  const int64_t baseline = (align & kAlignBaseline) == kAlignBaseline ? 0 : font->metrics.ascent;
  const bool vertical = font->description.escapement == kEscapementVertical;
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    const GlyphImage& kept = glyph(font, byte);
    // A glyph too large to keep is rendered for this drawing alone.
    GlyphImage once{};
    if (!kept.kept && kept.width > 0) render(font, byte, &once);
    const GlyphImage& g = kept.kept ? kept : once;
    if (g.coverage) {
      const int64_t u = pen + g.left;       // the glyph's left column along the text
      const int64_t v = baseline - g.top;   // its top row across it
      if (vertical) {
        raster_coverage(target, x + v, y - u - (g.width - 1), g.coverage, g.width, g.rows, g.width, true, colour);
      } else {
        raster_coverage(target, x + u, y + v, g.coverage, g.width, g.rows, g.width, false, colour);
      }
    }
    base::heap_free(once.coverage);
    pen += kept.advance;
  }
}

}  // namespace lumra::graphics
