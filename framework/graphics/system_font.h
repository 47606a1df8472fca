// The system's fonts (font type 2): a face found by family name through platform/system/fonts.h,
// sized, measured and drawn with FreeType into a raster target, in one colour over a transparent
// background. Texts are Windows (code page 1252) bytes; each byte's glyph is rendered once per font
// and kept (up to a size), so drawing a text is a copy of cached coverage.
//
// A font is made from a description laid out like the Windows LOGFONTA record (60 bytes, compared
// byte for byte to decide whether a font must be made again). Its fields map to FreeType as follows:
//
//   lfHeight    > 0: the cell height, ascent plus descent: the em is lfHeight x unitsPerEm /
//                    (usWinAscent + usWinDescent) pixels, the OS/2 table's Windows metrics (the
//                    hhea ascender - descender where a face has no OS/2 table);
//               < 0: the em height itself, -lfHeight pixels;
//               = 0: a cell height of kDefaultCellHeight.
//   lfWidth     != 0: the average character width: the em is stretched horizontally to
//                    |lfWidth| x unitsPerEm / xAvgCharWidth pixels; 0 keeps the em square.
//   lfEscapement 900: the text runs upwards, each glyph turned a quarter left; any other value
//                    draws horizontally (only the two directions of the text settings are made).
//   lfWeight    asks the system for the nearest weight; 600 or more on a face lighter than 600 is
//               emboldened as GDI does it, by painting each glyph again one pixel to the right
//               (one pixel more advance and width).
//   lfItalic    asks for an italic face; a roman face found instead is slanted by FreeType's
//               outline transform (0.2 to the right per pixel up, about 11 degrees), advance kept.
//   lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily, lfOrientation,
//   lfUnderline, lfStrikeOut: kept in the description, not used to choose or draw the face.
//               Glyphs are rendered anti-aliased (FreeType's normal mode, 256 levels) with the
//               face's hinting, and blended into the target in the text colour.
//   lfFaceName  the family name, matched by platform/system/fonts.h (case ignored).
//
// The text metrics (the TEXTMETRICA fields the framework reads) come from the sized face:
//   tmAscent, tmDescent   usWinAscent, usWinDescent scaled by the em height and rounded (the
//                         hhea ascender and -descender without OS/2); tmHeight their sum.
//   tmAveCharWidth        OS/2 xAvgCharWidth scaled by the em width, rounded; the advance of 'x'
//                         when the face has no OS/2 average. Plus 1 for emboldening.
//   tmMaxCharWidth        hhea advanceWidthMax scaled by the em width, rounded. Plus 1 likewise.
//   tmPitchAndFamily      low bits: 1 (TMPF_FIXED_PITCH, which GDI sets for variable pitch) unless
//                         FreeType calls the face fixed-width, 2 (TMPF_VECTOR) for scalable faces, 4
//                         (TMPF_TRUETYPE) for TrueType and OpenType faces; high bits the family
//                         from the OS/2 PANOSE classification: fixed pitch 0x30 (FF_MODERN), Latin
//                         text with a sans-serif style 0x20 (FF_SWISS), other Latin text 0x10
//                         (FF_ROMAN), hand-written 0x40 (FF_SCRIPT), decorative and pictorial 0x50
//                         (FF_DECORATIVE), unclassified 0 (FF_DONTCARE).
// Widths of texts (GetTextExtentPointA) are the sums of the glyphs' hinted advances in whole
// pixels, with no kerning, as GDI measures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/graphics/raster.h"

namespace lumra::sys {
struct FontFile;
}

namespace lumra::graphics {

inline constexpr int32_t kFaceNameSize = 32;  // LF_FACESIZE: 31 characters and the NUL
inline constexpr int32_t kDefaultCellHeight = 16;
// Ems beyond this many pixels are refused: a larger glyph cache could take gigabytes.
inline constexpr int32_t kMaxFontPixels = 1024;

inline constexpr int32_t kWeightNormal = 400;
inline constexpr int32_t kWeightBold = 700;
inline constexpr int32_t kEscapementVertical = 900;
inline constexpr uint8_t kProofQuality = 2;

// Text alignment of the drawing surfaces (SetTextAlign values).
inline constexpr uint32_t kAlignLeft = 0;
inline constexpr uint32_t kAlignRight = 2;
inline constexpr uint32_t kAlignCenter = 6;
inline constexpr uint32_t kAlignTop = 0;
inline constexpr uint32_t kAlignBaseline = 24;
inline constexpr uint32_t kAlignHorizontalMask = 6;

// Laid out like LOGFONTA: lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight, lfItalic,
// lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
// lfPitchAndFamily, lfFaceName.
struct LogFont {
  int32_t height;
  int32_t width;
  int32_t escapement;
  int32_t orientation;
  int32_t weight;
  uint8_t italic;
  uint8_t underline;
  uint8_t strike_out;
  uint8_t char_set;
  uint8_t out_precision;
  uint8_t clip_precision;
  uint8_t quality;
  uint8_t pitch_and_family;
  char face_name[kFaceNameSize];
};
static_assert(sizeof(LogFont) == 60);

bool same_log_font(const LogFont& a, const LogFont& b);

// The metrics of a made font that the framework reads (TEXTMETRICA's names in the header comment).
struct TextMetrics {
  int32_t height;
  int32_t ascent;
  int32_t descent;
  int32_t ave_char_width;
  int32_t max_char_width;
  uint8_t pitch_and_family;
};

struct FontLibrary;  // FreeType's library, made on first use
struct FontFace;     // one sized FreeType face and what it needs synthesised

// Glyphs larger than this are rendered again for each drawing instead of kept, which bounds a
// font's cache at 4 MiB whatever its size and whatever bytes its texts hold.
inline constexpr size_t kMaxKeptGlyphBytes = 16384;

// One rendered glyph: coverage rows top-down, placed relative to the pen on the baseline.
struct GlyphImage {
  uint8_t* coverage;  // width x rows bytes, 0..255 (framework heap); null when empty or not kept
  int32_t left;       // columns right of the pen
  int32_t top;        // rows above the baseline
  int32_t width;
  int32_t rows;
  int32_t advance;    // pixels along the text
  bool rendered;
  bool kept;          // coverage is held; false for an empty glyph or one above kMaxKeptGlyphBytes
};

struct SystemFont {
  LogFont description;
  FontFace* face;
  TextMetrics metrics;
  GlyphImage glyphs[256];  // by Windows code, rendered on first use
};

// Makes the font of the description: 1, or 0 with a reason (face not present, no memory, a size
// beyond kMaxFontPixels, a file FreeType cannot read). `library` is made on first use.
int system_font_make(FontLibrary** library, SystemFont* font, const LogFont& description);
// The same from a font file found otherwise (the desktop's default face).
int system_font_make_from_file(FontLibrary** library, SystemFont* font, const LogFont& description,
                               const sys::FontFile& file);
void system_font_release(SystemFont* font);
void font_library_release(FontLibrary** library);

// The advance of the text in pixels (GetTextExtentPointA's width).
int32_t system_font_width(SystemFont* font, const char* text, size_t length);

// Draws the text with its reference point at (x, y), device pixels, placed by `align` (kAlign*
// bits: left, centre or right of the point along the text; the point on the baseline or at the
// top of the cell), blending `colour` (a COLORREF) by the glyphs' coverage.
void system_font_draw(RasterTarget* target, SystemFont* font, int64_t x, int64_t y, uint32_t align, const char* text,
                      size_t length, uint32_t colour);

}  // namespace lumra::graphics
