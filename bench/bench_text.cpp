// Text drawing into a 320 x 240 back buffer, a tooltip-long line of 40 characters: a system font
// (DejaVu Sans, 16-pixel cell) from its glyph cache, the same line with the cache emptied each time
// (what a font's first use costs), font 0's strokes, and the whole draw_text path on a headless
// window. The anchor is FreeType's own loop: load and render the 40 glyphs, nothing drawn.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>

#include "framework/base/heap.h"
#include "framework/graphics/back_buffer.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/stroke_font.h"
#include "framework/graphics/system_font.h"
#include "framework/graphics/text.h"
#include "framework/input/input.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/system/fonts.h"

namespace lumra::graphics {
namespace {

constexpr const char* kLine = "Open the maker's web page (Alt+F1): 1998";
constexpr size_t kLineLength = 40;
static_assert(sizeof("Open the maker's web page (Alt+F1): 1998") - 1 == kLineLength);

LogFont dejavu_16() {
  LogFont lf{};
  lf.height = 16;
  lf.weight = kWeightNormal;
  lf.quality = kProofQuality;
  std::strcpy(lf.face_name, "DejaVu Sans");
  return lf;
}

struct Canvas {
  PaintBuffer buffer{};
  Canvas() { buffer_create(&buffer, 320, 240); }
  ~Canvas() { buffer_release(&buffer); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  RasterTarget target() { return raster_target(&buffer, 0, 0, 320, 240, nullptr); }
};

void BM_FreeTypeRenderLine(benchmark::State& state) {
  sys::FontFile file;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (!sys::find_font("DejaVu Sans", 400, false, &file) || FT_Init_FreeType(&library) != 0 ||
      FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) {
    state.SkipWithError("no DejaVu Sans");
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 13);  // the em of a 16-pixel DejaVu Sans cell
  for (auto _ : state) {
    for (size_t i = 0; i < kLineLength; ++i) {
      FT_Load_Char(face, static_cast<FT_ULong>(kLine[i]), FT_LOAD_RENDER);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeRenderLine)->Unit(benchmark::kMicrosecond);

void BM_SystemFontLineCached(benchmark::State& state) {
  FontLibrary* library = nullptr;
  auto* font = static_cast<SystemFont*>(base::heap_alloc_zeroed(1, sizeof(SystemFont)));
  if (!system_font_make(&library, font, dejavu_16())) {
    state.SkipWithError("no DejaVu Sans");
    return;
  }
  Canvas c;
  for (auto _ : state) {
    RasterTarget t = c.target();
    system_font_draw(&t, font, 4, 100, kAlignLeft | kAlignTop, kLine, kLineLength, rgb(255, 255, 255));
    benchmark::ClobberMemory();
  }
  system_font_release(font);
  base::heap_free(font);
  font_library_release(&library);
}
BENCHMARK(BM_SystemFontLineCached)->Unit(benchmark::kMicrosecond);

// A font made and its glyphs rendered on every iteration: the cost of the first text in a font.
void BM_SystemFontLineFirstUse(benchmark::State& state) {
  FontLibrary* library = nullptr;
  auto* font = static_cast<SystemFont*>(base::heap_alloc_zeroed(1, sizeof(SystemFont)));
  Canvas c;
  for (auto _ : state) {
    if (!system_font_make(&library, font, dejavu_16())) {
      state.SkipWithError("no DejaVu Sans");
      break;
    }
    RasterTarget t = c.target();
    system_font_draw(&t, font, 4, 100, kAlignLeft | kAlignTop, kLine, kLineLength, rgb(255, 255, 255));
    system_font_release(font);
  }
  base::heap_free(font);
  font_library_release(&library);
}
BENCHMARK(BM_SystemFontLineFirstUse)->Unit(benchmark::kMicrosecond);

void BM_StrokeFontLine(benchmark::State& state) {
  Canvas c;
  const Pen pen{1, kStyleSolid, 1, rgb(255, 255, 255)};
  for (auto _ : state) {
    RasterTarget t = c.target();
    stroke_draw(&t, stroke_face_default(), stroke_scale(1, 1, false), 4, 100, kLine, kLineLength, pen, true);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StrokeFontLine)->Unit(benchmark::kMicrosecond);

// draw_text on a headless window with draw-through on: settings, markup scan, preparation, drawing
// and presenting the changed rectangle.
void BM_DrawTextSystemFont(benchmark::State& state) {
  platform::shutdown();
  graphics_reset();
  input::input_reset();
  platform::headless::reset();
  platform::use_backend(platform::headless::backend());
  open_window("bench", 320, 240, 0, 0, -1, 1);
  const int32_t id = install_font("DejaVu Sans", kFontSystem, 16);
  set_text_style(id, 0, 4);
  set_colour(15);
  for (auto _ : state) draw_text(4, 100, kLine);
  graphics_reset();
  platform::shutdown();
}
BENCHMARK(BM_DrawTextSystemFont)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lumra::graphics

BENCHMARK_MAIN();
