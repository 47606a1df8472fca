// The drawing state and primitives on the headless backend: the palette and conversions, every
// colour and fill operation, viewport, lines, polylines, polygons, pixels and the clip, pixel
// exact on the back buffer; what reaches the frame with draw-through on and off; pixel filters;
// hostile coordinates; and golden hashes of whole frames for styles, thick pens and polygons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/graphics/clip.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/palette.h"
#include "framework/graphics/pixel_filter.h"
#include "framework/graphics/primitives.h"
#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;

constexpr uint32_t kWhite = rgb(255, 255, 255);

TEST(Palette, RulesAndConversions) {
  struct Case {
    int32_t index;
    uint8_t r, g, b;
  };
  const Case cases[] = {
      {0, 0, 0, 0},       {1, 0, 0, 47},       {8, 32, 32, 32},    {15, 63, 63, 63},  {16, 0, 0, 0},
      {20, 17, 17, 17},   {31, 63, 63, 63},    {32, 0, 0, 0},      {33, 0, 0, 12},    {32 + 36, 12, 0, 0},
      {32 + 6 * 3, 0, 37, 0}, {247, 63, 63, 63}, {248, 0, 0, 0},   {255, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const PaletteEntry& e = palette_entry(c.index);
    EXPECT_EQ(e.red, c.r) << c.index;
    EXPECT_EQ(e.green, c.g) << c.index;
    EXPECT_EQ(e.blue, c.b) << c.index;
  }
  struct Conversion {
    const char* name;
    uint32_t got, expected;
  };
  const Conversion conversions[] = {
      {"A colour 1", pen_colour(kPaletteMode, 1), rgb(0, 0, 189)},
      {"B colour 1", pixel_colour(kPaletteMode, 1), rgb(0, 0, 190)},
      {"A colour 8", pen_colour(kPaletteMode, 8), rgb(131, 129, 131)},
      {"B colour 8", pixel_colour(kPaletteMode, 8), rgb(129, 129, 129)},
      {"A colour 15", pen_colour(kPaletteMode, 15), kWhite},
      {"B colour 15", pixel_colour(kPaletteMode, 15), kWhite},
      {"A direct 300", pen_colour(kDirectMode, 300), rgb(0, 36, 98)},
      {"B direct 300", pixel_colour(kDirectMode, 300), rgb(0, 36, 98)},
      {"B palette mode above 255 is 5-6-5", pixel_colour(kPaletteMode, 0xF800), rgb(255, 0, 0)},
      {"A direct 65535", pen_colour(kDirectMode, 65535), kWhite},
      {"D bytes", bytes_colour(255, 128, 7), rgb(255, 129, 0)},
      {"C 15-bit of 15", palette_to_15bit(15), 0x7FFF},
      {"C 16-bit of 15", palette_to_16bit(15), 0xFFFF},
      {"C 16-bit of 1", palette_to_16bit(1), 23},
      {"C 15-bit of 8", palette_to_15bit(8), 16u << 10 | 16u << 5 | 16u},
      {"16-bit of bytes", bytes_to_16bit(255, 128, 7), 31u << 11 | 32u << 5 | 0u},
  };
  for (const Conversion& c : conversions) EXPECT_EQ(c.got, c.expected) << c.name;
  DeviceColourTable table{};
  fill_device_colours(&table);
  EXPECT_EQ(device_colour_entry(table, 1), rgb(0, 0, 190));
  EXPECT_EQ(device_colour_entry(table, 8), rgb(129, 129, 129));
  EXPECT_EQ(table.entries[15][3], 0);
}

// A 320 x 240 window (visible 319 x 239) with the drawing state as opening leaves it.
class Draw : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    testing::HeadlessSession::SetUp();
    open_drawing_window();
  }
  // Pixels of the back buffer that are not black, with their bounding box.
  struct Painted {
    int count = 0;
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
  };
  static Painted painted(uint32_t colour) {
    Painted p;
    const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
    for (int32_t y = 0; y < b.height; ++y) {
      for (int32_t x = 0; x < b.width; ++x) {
        if (back(x, y) != colour) continue;
        ++p.count;
        p.left = std::min(p.left, x), p.right = std::max(p.right, x);
        p.top = std::min(p.top, y), p.bottom = std::max(p.bottom, y);
      }
    }
    return p;
  }
  static std::set<std::pair<int32_t, int32_t>> lit_set(uint32_t colour) {
    std::set<std::pair<int32_t, int32_t>> out;
    const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
    for (int32_t y = 0; y < b.height; ++y) {
      for (int32_t x = 0; x < b.width; ++x) {
        if (back(x, y) == colour) out.insert({x, y});
      }
    }
    return out;
  }
  static std::vector<std::pair<int32_t, int32_t>> lit() {
    std::vector<std::pair<int32_t, int32_t>> out;
    const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
    for (int32_t y = 0; y < b.height; ++y) {
      for (int32_t x = 0; x < b.width; ++x) {
        if (back(x, y) != 0) out.push_back({x, y});
      }
    }
    return out;
  }
};

TEST_F(Draw, OpeningFillsTheDeviceTableAndSetsTheStartState) {
  EXPECT_EQ(device_colour_entry(g_graphics.draw.device_colours, 1), rgb(0, 0, 190));
  EXPECT_EQ(text_colour(), kWhite) << "text colour 15 from the filled table";
  EXPECT_EQ(g_graphics.draw.line.style, kStyleSolid);
  EXPECT_EQ(g_graphics.draw.line.width_x, 1);
  EXPECT_EQ(g_graphics.draw.pen.made, 1);
  EXPECT_EQ(g_graphics.draw.pen.colour, 0u) << "entry of current colour 0";
  EXPECT_EQ(g_graphics.draw.fill_brush.made, 0);
  EXPECT_EQ(get_colour(), 0);
  EXPECT_EQ(colour_mode(), kPaletteMode);
}

TEST_F(Draw, FillRectangleInclusiveCornersInAnyOrder) {
  struct Case {
    const char* name;
    int32_t x1, y1, x2, y2;
  };
  const Case cases[] = {
      {"in order", 0, 0, 163, 220},
      {"reversed", 163, 220, 0, 0},
      {"x reversed", 163, 0, 0, 220},
      {"y reversed", 0, 220, 163, 0},
  };
  for (const Case& c : cases) {
    clear_window();
    set_fill_colour(15);
    fill_rectangle(c.x1, c.y1, c.x2, c.y2);
    const Painted p = painted(kWhite);
    EXPECT_EQ(p.count, 164 * 221) << c.name;
    EXPECT_EQ(p.left, 0) << c.name;
    EXPECT_EQ(p.top, 0) << c.name;
    EXPECT_EQ(p.right, 163) << c.name;
    EXPECT_EQ(p.bottom, 220) << c.name;
  }
  clear_window();
  fill_rectangle_colour(9, 5, 5, 5, 5);
  EXPECT_EQ(back(5, 5), rgb(0, 0, 255));
  EXPECT_EQ(painted(rgb(0, 0, 255)).count, 1);
}

TEST_F(Draw, FillsStopAtTheWindowsFullClip) {
  set_fill_colour(15);
  fill_rectangle(-50, -50, 1000, 1000);
  EXPECT_EQ(painted(kWhite).count, 319 * 239) << "max x and max y lie outside the full clip";
  EXPECT_EQ(back(319, 0), 0u);
  uint32_t c = 0;
  EXPECT_FALSE(get_pixel(319, 0, &c));
  EXPECT_EQ(c, kInvalidColour);
  EXPECT_TRUE(get_pixel(318, 238, &c));
  EXPECT_EQ(c, kWhite);
}

TEST_F(Draw, NoFillBeforeAFillColour) {
  fill_rectangle(0, 0, 10, 10);
  EXPECT_TRUE(lit().empty()) << "no fill brush has been made yet";
}

TEST_F(Draw, FillRectangleRgb) {
  fill_rectangle_rgb(10, 20, 0xAB123456u, 3, 2);
  fill_rectangle_rgb(50, 50, rgb(1, 2, 3), -4, -2);
  fill_rectangle_rgb(60, 60, kWhite, 0, 5);
  EXPECT_EQ(painted(rgb(0x56, 0x34, 0x12)).count, 6) << "top byte ignored";
  const Painted p = painted(rgb(1, 2, 3));
  EXPECT_EQ(p.count, 8);
  EXPECT_EQ(p.left, 46);
  EXPECT_EQ(p.top, 48);
  EXPECT_EQ(painted(kWhite).count, 0);
}

TEST_F(Draw, ThinAxisParallelLinesPaintBothEnds) {
  struct Case {
    const char* name;
    int32_t x1, y1, x2, y2;
    int32_t left, top, right, bottom;
  };
  const Case cases[] = {
      {"(10,5)-(2,5)", 10, 5, 2, 5, 2, 5, 10, 5},
      {"vertical reversed", 7, 30, 7, 12, 7, 12, 7, 30},
      {"single point", 40, 40, 40, 40, 40, 40, 40, 40},
  };
  set_colour(15);
  for (const Case& c : cases) {
    clear_window();
    set_colour(15);
    line(c.x1, c.y1, c.x2, c.y2);
    const Painted p = painted(kWhite);
    EXPECT_EQ(p.count, (c.right - c.left + 1) * (c.bottom - c.top + 1)) << c.name;
    EXPECT_EQ(p.left, c.left) << c.name;
    EXPECT_EQ(p.top, c.top) << c.name;
    EXPECT_EQ(p.right, c.right) << c.name;
    EXPECT_EQ(p.bottom, c.bottom) << c.name;
  }
}

TEST_F(Draw, DiagonalReachesItsEndThroughTheExtension) {
  const Point64 e = extended_end({0, 0}, {3, 4});
  EXPECT_EQ(e.x, 4);
  EXPECT_EQ(e.y, 5);
  set_colour(15);
  line(0, 0, 3, 4);
  const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 0}, {1, 1}, {2, 2}, {2, 3}, {3, 4}};
  EXPECT_EQ(lit(), expected);
}

TEST_F(Draw, EndPointExtension) {
  struct Case {
    Point64 a, b, expected;
  };
  const Case cases[] = {
      {{0, 0}, {3, 4}, {4, 5}},     {{5, 5}, {5, 1}, {5, 0}},     {{5, 1}, {5, 5}, {5, 6}},
      {{9, 2}, {1, 2}, {0, 2}},     {{1, 2}, {9, 2}, {10, 2}},    {{3, 3}, {3, 3}, {3, 4}},
      {{0, 0}, {-7, 1}, {-8, 1}},   {{0, 0}, {10, -10}, {11, -11}}, {{0, 0}, {1, 100}, {1, 101}},
  };
  for (const Case& c : cases) {
    const Point64 e = extended_end(c.a, c.b);
    EXPECT_EQ(e.x, c.expected.x) << c.b.x << "," << c.b.y;
    EXPECT_EQ(e.y, c.expected.y) << c.b.x << "," << c.b.y;
  }
}

TEST_F(Draw, EveryThinLineEndsOnItsEndPoint) {
  // One pixel per step of the major axis, both ends in, for every direction and length up to 12,
  // solid and dashed (a dash pattern starts "on", and 12 steps stay within the first dash).
  for (int32_t style : {kStyleSolid, kStyleDash}) {
    set_line_style(style, 1);
    set_colour(15);
    for (int32_t dy = -12; dy <= 12; ++dy) {
      for (int32_t dx = -12; dx <= 12; ++dx) {
        clear_window();
        set_colour(15);
        line(50, 50, 50 + dx, 50 + dy);
        const int expected = std::max(std::abs(dx), std::abs(dy)) + 1;
        ASSERT_EQ(painted(kWhite).count, expected) << dx << "," << dy << " style " << style;
        ASSERT_EQ(back(50, 50), kWhite);
        ASSERT_EQ(back(50 + dx, 50 + dy), kWhite) << dx << "," << dy << " style " << style;
      }
    }
  }
}

TEST_F(Draw, EndPixelReplacesTheExtendedLinesMiss) {
  // (10,10)-(3,14) is extended to (2,14); that line's step in column 3 is at y 13.5, a tie that
  // goes up to (3,13). The end point takes that pixel's place.
  set_colour(15);
  line(10, 10, 3, 14);
  const std::vector<std::pair<int32_t, int32_t>> expected = {{9, 10}, {10, 10}, {7, 11}, {8, 11},
                                                             {5, 12}, {6, 12}, {4, 13}, {3, 14}};
  EXPECT_EQ(lit(), expected);
}

TEST_F(Draw, PenAndPixelColours) {
  set_colour(1);
  line(0, 10, 5, 13);
  put_pixel(20, 20, 1);
  EXPECT_EQ(back(0, 10), rgb(0, 0, 189)) << "pen: through 5-6-5";
  EXPECT_EQ(back(20, 20), rgb(0, 0, 190)) << "pixel: palette widened";
  EXPECT_EQ(g_graphics.draw.last_pixel_colour, rgb(0, 0, 190));
  put_pixel_rgb(21, 20, 0xFF010203u);
  EXPECT_EQ(back(21, 20), rgb(3, 2, 1));
  EXPECT_EQ(g_graphics.draw.last_pixel_colour, rgb(0, 0, 190)) << "put pixel RGB leaves it";
  set_colour(8);
  line(0, 30, 9, 30);
  EXPECT_EQ(back(9, 30), rgb(131, 129, 131));
}

TEST_F(Draw, SetColourMakesThePenTwiceInPaletteMode) {
  const uint32_t before = g_graphics.draw.pens_made;
  set_colour(4);
  EXPECT_EQ(g_graphics.draw.pens_made, before + 2);
  EXPECT_EQ(text_colour(), rgb(190, 0, 0)) << "text colour from the device table";
  EXPECT_EQ(g_graphics.draw.pen.colour, pen_colour(kPaletteMode, 4)) << "the second pen wins";
  set_colour_mode(kDirectMode);
  set_colour(300);
  EXPECT_EQ(g_graphics.draw.pens_made, before + 3) << "direct mode: once";
  EXPECT_EQ(text_colour(), rgb(190, 0, 0)) << "text colour untouched in direct mode";
}

TEST_F(Draw, Colour300) {
  set_colour(2);
  set_colour(300);
  EXPECT_EQ(get_colour(), 2) << "palette mode ignores 300";
  line(0, 0, 10, 0);
  EXPECT_EQ(back(5, 0), pen_colour(kPaletteMode, 2));
  set_colour_mode(kDirectMode);
  set_colour(300);
  EXPECT_EQ(get_colour(), 300);
  line(0, 5, 10, 5);
  EXPECT_EQ(back(5, 5), rgb(0, 36, 98));
}

TEST_F(Draw, InvalidColourNumbers) {
  set_colour(3);
  set_fill_colour(5);
  const DrawState before = g_graphics.draw;
  set_colour(-1);
  set_colour(256);
  set_fill_colour(-7);
  set_fill_colour(256);
  set_fill_style(2, 256);
  set_fill_style(2, -1);
  EXPECT_EQ(g_graphics.draw.current_colour, before.current_colour);
  EXPECT_EQ(g_graphics.draw.pens_made, before.pens_made);
  EXPECT_EQ(g_graphics.draw.fill_colour, before.fill_colour);
  EXPECT_EQ(g_graphics.draw.fill_brush.colour, before.fill_brush.colour);
  EXPECT_EQ(g_graphics.draw.fill_pattern, before.fill_pattern);
  EXPECT_EQ(set_colour_mode(2), kPaletteMode);
  EXPECT_EQ(colour_mode(), kPaletteMode) << "only 0 and 1 are modes";
}

TEST_F(Draw, FillStyleWith256IsIgnoredInBothModes) {
  for (int32_t mode : {kPaletteMode, kDirectMode}) {
    set_colour_mode(mode);
    set_fill_style(3, 12);
    set_fill_style(7, 256);
    int32_t pattern = 0, colour = 0;
    get_fill_settings(&pattern, &colour);
    EXPECT_EQ(pattern, 3) << mode;
    EXPECT_EQ(colour, 12) << mode;
    EXPECT_EQ(g_graphics.draw.fill_brush.colour, pen_colour(mode, 12)) << mode;
  }
  set_colour_mode(kDirectMode);
  set_fill_style(4, -2);
  int32_t pattern = 0, colour = 0;
  get_fill_settings(&pattern, &colour);
  EXPECT_EQ(colour, -2) << "direct mode takes the bits of a negative number";
}

TEST_F(Draw, FillColourSetsPatternOne) {
  set_fill_style(6, 2);
  set_fill_colour(14);
  int32_t pattern = 0, colour = 0;
  get_fill_settings(&pattern, &colour);
  EXPECT_EQ(pattern, 1);
  EXPECT_EQ(colour, 14);
  fill_rectangle(0, 0, 0, 0);
  EXPECT_EQ(back(0, 0), pen_colour(kPaletteMode, 14));
}

TEST_F(Draw, ColoursFromBytes) {
  set_colour_bytes(255, 128, 7);
  EXPECT_EQ(get_colour(), 31 << 11 | 32 << 5);
  line(0, 0, 4, 0);
  EXPECT_EQ(back(0, 0), rgb(255, 129, 0));
  set_colour_bytes(0, 0, 0);
  EXPECT_EQ(get_colour(), 0);
  set_fill_colour(3);
  set_fill_bytes(8, 4, 248);
  EXPECT_EQ(get_colour(), 1 << 11 | 1 << 5 | 31) << "the current colour, not the fill colour";
  int32_t pattern = 0, colour = 0;
  get_fill_settings(&pattern, &colour);
  EXPECT_EQ(colour, 3);
  fill_rectangle(10, 10, 10, 10);
  EXPECT_EQ(back(10, 10), bytes_colour(8, 4, 248));
}

TEST_F(Draw, LineStyleWaitsForTheNextSetColour) {
  set_colour(15);
  set_line_style(kStyleSolid, 5);
  EXPECT_EQ(g_graphics.draw.line.colour, 0u);
  line(10, 10, 20, 10);  // not the fast path: the record says 5, but the pen is still thin
  EXPECT_EQ(painted(kWhite).count, 10) << "thin pen without the end extension";
  set_colour(15);
  line(10, 30, 20, 30);
  EXPECT_EQ(painted(kWhite).count, 10 + 11 * 5 + 2 * 8) << "now a 5-pixel round pen";
}

TEST_F(Draw, ClearWindowResetsTextColourAndLineStyle) {
  set_colour(4);
  set_line_style(kStyleDash, 3);
  set_viewport(5, 5, 50, 50);
  clear_window();
  EXPECT_EQ(g_graphics.draw.line.style, kStyleSolid);
  EXPECT_EQ(g_graphics.draw.line.width_x, 1);
  EXPECT_EQ(text_colour(), kWhite);
  EXPECT_EQ(g_graphics.viewport.left, 0);
  EXPECT_EQ(get_colour(), 4);
}

TEST_F(Draw, ClearWindowPaintsThroughTheClip) {
  const Point triangle[] = {{0, 0}, {40, 0}, {0, 40}};
  struct Case {
    const char* name;
    int32_t on, x, y, w, h, n;
    const Point* points;
    bool (*cleared)(int32_t x, int32_t y);
  };
  const Case cases[] = {
      {"rectangle 0,0,10,10", 1, 0, 0, 10, 10, 0, nullptr, [](int32_t x, int32_t y) { return x < 10 && y < 10; }},
      {"triangle", 1, 0, 0, 100, 100, 3, triangle, [](int32_t x, int32_t y) { return x + y < 40; }},
      {"no clip: the full clip region", 0, 0, 0, 0, 0, 0, nullptr,
       [](int32_t x, int32_t y) { return x < 319 && y < 239; }},
  };
  for (const Case& c : cases) {
    set_clip(1, 0, 0, 320, 240, 0, nullptr);
    set_clip(0, 0, 0, 0, 0, 0, nullptr);  // the whole back buffer open, max x and max y included
    fill_rectangle_rgb(0, 0, kWhite, 320, 240);
    set_clip(c.on, c.x, c.y, c.w, c.h, c.n, c.points);
    clear_window();
    for (int32_t y = 0; y < 240; ++y) {
      for (int32_t x = 0; x < 320; ++x) ASSERT_EQ(back(x, y), c.cleared(x, y) ? 0u : kWhite) << c.name << " " << x << "," << y;
    }
  }
}

TEST_F(Draw, OddStylesAndWidths) {
  struct Case {
    const char* name;
    int32_t style, width;
    int count;  // pixels of line(0, 10, 19, 10) in colour 15, or of black pixels when the default pen draws
  };
  const Case cases[] = {
      {"null style paints nothing", kStyleNull, 1, 0},
      {"inside frame is solid", kStyleInsideFrame, 1, 20},
      {"width 0 is one pixel", kStyleDash, 0, 18},
      {"negative width is one pixel", kStyleDot, -4, 11},
      {"dash on a wide pen is solid (cut at x = -1)", kStyleDash, 3, 3 * 21},
  };
  for (const Case& c : cases) {
    clear_window();
    set_line_style(c.style, c.width);
    set_colour(15);
    line(0, 10, 19, 10);
    EXPECT_EQ(painted(kWhite).count, c.count) << c.name;
  }
  clear_window();
  set_fill_colour(15);
  fill_rectangle(0, 0, 30, 20);
  set_line_style(9, 1);
  set_colour(12);
  line(0, 10, 19, 11);
  EXPECT_EQ(painted(0).count - (320 * 240 - 31 * 21), 20) << "no pen of style 9: the default black pen";
}

TEST_F(Draw, ViewportShiftsEveryPrimitive) {
  set_viewport(100, 50, 200, 150);
  set_fill_colour(15);
  fill_rectangle(0, 0, 9, 9);
  const Painted p = painted(kWhite);
  EXPECT_EQ(p.count, 100);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.top, 50);
  EXPECT_EQ(p.right, 109);
  EXPECT_EQ(p.bottom, 59);
  put_pixel(-1, -1, 12);
  EXPECT_EQ(back(99, 49), pixel_colour(kPaletteMode, 12));
  uint32_t c = 0;
  EXPECT_TRUE(get_pixel(0, 0, &c));
  EXPECT_EQ(c, kWhite);
  set_colour(10);
  line(20, 0, 20, 3);
  EXPECT_EQ(back(120, 53), pen_colour(kPaletteMode, 10));
  const Viewport v = get_viewport();
  EXPECT_EQ(v.right, 200);
  EXPECT_EQ(v.bottom, 150);
}

TEST_F(Draw, RectangleIsAClosedOutline) {
  set_colour(15);
  rectangle(10, 10, 20, 15);
  const Painted p = painted(kWhite);
  EXPECT_EQ(p.count, 2 * 11 + 2 * 4);
  EXPECT_EQ(p.left, 10);
  EXPECT_EQ(p.right, 20);
  EXPECT_EQ(p.top, 10);
  EXPECT_EQ(p.bottom, 15);
}

TEST_F(Draw, PolylinePaintsItsLastPoint) {
  set_colour(15);
  const Point zig[] = {{0, 0}, {10, 0}, {10, 10}, {3, 14}};
  polyline(4, zig);
  EXPECT_EQ(back(3, 14), kWhite) << "last point painted";
  EXPECT_EQ(back(10, 0), kWhite);
  EXPECT_EQ(back(10, 10), kWhite);
  polyline(1, zig);
  polyline(0, nullptr);
  polyline(-3, zig);
}

TEST_F(Draw, PolylinesOnTheStackAndOnTheHeap) {
  // 128 points fit the fixed buffer, 300 take the heap; both must equal their sides drawn one by
  // one: each side but the last without its end pixel, the last as a line (both ends in).
  std::vector<Point> many;
  for (int32_t i = 0; i < 300; ++i) many.push_back({(i * 37) % 310, (i * 23 + i / 7) % 230});
  for (int32_t n : {128, 300}) {
    clear_window();
    set_colour(15);
    polyline(n, many.data());
    const auto drawn = lit();
    clear_window();
    set_colour(15);
    RasterTarget t = drawing_target();
    int64_t phase = 0;
    for (int32_t i = 0; i + 2 < n; ++i) {
      raster_thin_line(&t, {many[i].x, many[i].y}, {many[i + 1].x, many[i + 1].y}, kWhite, kStyleSolid, &phase);
    }
    line(many[n - 2].x, many[n - 2].y, many[n - 1].x, many[n - 1].y);
    EXPECT_EQ(drawn, lit()) << n << " points";
    EXPECT_GT(drawn.size(), 1000u);
  }
  clear_window();
  filled_polygon(300, many.data(), 15, kWhite);
  EXPECT_GT(painted(kWhite).count, 1000);
}

TEST_F(Draw, FilledPolygonFillsAlternateAndOutlinesWithThePen) {
  const Point square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  filled_polygon(4, square, -1, 0x00FF8040u);
  const Painted same = painted(rgb(0x40, 0x80, 0xFF));
  EXPECT_EQ(same.count, 11 * 11) << "fill 10..19 plus the outline on 20";
  EXPECT_EQ(g_graphics.draw.fill_brush.colour, rgb(0x40, 0x80, 0xFF)) << "brush stays changed";
  EXPECT_EQ(g_graphics.draw.pen.colour, rgb(0x40, 0x80, 0xFF)) << "pen stays changed";

  clear_window();
  filled_polygon(4, square, 4, kWhite);
  EXPECT_EQ(painted(kWhite).count, 9 * 9) << "inside the outline";
  EXPECT_EQ(painted(pixel_colour(kPaletteMode, 4)).count, 40) << "outline in conversion B of colour 4";

  clear_window();
  const Point star[] = {{50, 10}, {68, 66}, {20, 30}, {80, 30}, {32, 66}};
  filled_polygon(5, star, -1, kWhite);
  EXPECT_EQ(back(50, 40), 0u) << "alternate rule leaves the centre open";
  EXPECT_EQ(back(50, 20), kWhite);

  clear_window();
  filled_polygon(1, star, 15, kWhite);
  EXPECT_TRUE(lit().empty());
  EXPECT_EQ(g_graphics.draw.pen.colour, kWhite) << "the pen is made before the count is looked at";
}

TEST_F(Draw, PolygonOutlineWithAThickPen) {
  set_line_style(kStyleSolid, 3);
  const Point square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  filled_polygon(4, square, 15, rgb(0, 0, 255));
  EXPECT_EQ(painted(kWhite).count, 13 * 13 - 7 * 7) << "3-pixel round-joined outline over the fill";
  EXPECT_EQ(painted(rgb(0, 0, 255)).count, 7 * 7);
}

TEST_F(Draw, ClipToARectangleAndToAPolygon) {
  set_fill_colour(15);
  ASSERT_TRUE(set_clip(1, 30, 40, 20, 10, 0, nullptr));
  fill_rectangle(0, 0, 300, 200);
  Painted p = painted(kWhite);
  EXPECT_EQ(p.count, 200);
  EXPECT_EQ(p.left, 30);
  EXPECT_EQ(p.bottom, 49);

  clear_window();
  const Point triangle[] = {{100, 20}, {160, 120}, {40, 120}};
  ASSERT_TRUE(set_clip(1, 0, 0, 320, 100, 3, triangle));
  set_viewport(10, 10, 100, 100);  // the clip is in window coordinates; drawing is not
  fill_rectangle(-10, -10, 300, 200);
  int expected = 0;
  for (int32_t y = 0; y < 240; ++y) {
    for (int32_t x = 0; x < 320; ++x) {
      // Top-left convention, cut to y < 100: x_left <= x < x_right with the sides
      // x = 100 -/+ 0.6 (y - 20), that is 5 x against 500 -/+ 3 (y - 20).
      bool inside = false;
      if (y >= 20 && y < 100) {
        const int32_t num = 3 * (y - 20);
        inside = 5 * x >= 500 - num && 5 * x < 500 + num;
      }
      EXPECT_EQ(back(x, y) == kWhite, inside) << x << "," << y;
      expected += inside ? 1 : 0;
      uint32_t c = 0;
      EXPECT_EQ(get_pixel(x - 10, y - 10, &c) == 1, inside);
    }
  }
  EXPECT_EQ(painted(kWhite).count, expected);
  EXPECT_GT(expected, 1000);

  set_clip(0, 0, 0, 0, 0, 0, nullptr);
  set_viewport(0, 0, 319, 239);
  uint32_t c = 0;
  EXPECT_TRUE(get_pixel(319, 239, &c)) << "without a clip the whole back buffer is open";
  fill_rectangle(319, 239, 319, 239);
  EXPECT_EQ(back(319, 239), kWhite);
}

TEST_F(Draw, SetClipRepeatsAndPolygonsWithTheSameRectangle) {
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 0, nullptr));
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 0, nullptr));
  EXPECT_EQ(g_graphics.draw.screen_clip.on, 1);
  const Point left_half[] = {{0, 0}, {50, 0}, {50, 100}, {0, 100}};
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 4, left_half));
  set_fill_colour(15);
  fill_rectangle(0, 0, 99, 99);
  EXPECT_EQ(painted(kWhite).count, 50 * 100) << "a polygon with the same rectangle still applies";
  const Point right_half[] = {{50, 0}, {100, 0}, {100, 100}, {50, 100}};
  // Clearing paints through the clip: each step clears the window under the plain rectangle first.
  const auto clear_all = [] {
    set_clip(1, 0, 0, 100, 100, 0, nullptr);
    clear_window();
  };
  clear_all();
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 4, right_half));
  fill_rectangle(0, 0, 99, 99);
  EXPECT_EQ(back(75, 5), kWhite);
  EXPECT_EQ(back(25, 5), 0u);
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 4, left_half));
  clear_window();
  EXPECT_EQ(back(75, 5), kWhite) << "the same rectangle with a polygon replaces the polygon";
  EXPECT_EQ(painted(kWhite).count, 50 * 100);
  ASSERT_TRUE(set_clip(1, 0, 0, 100, 100, 0, nullptr));
  clear_window();
  fill_rectangle(0, 0, 99, 99);
  EXPECT_EQ(painted(kWhite).count, 100 * 100) << "back to the plain rectangle";
  clear_all();
  ASSERT_TRUE(set_clip(1, 60, 60, -20, -30, 0, nullptr));
  fill_rectangle(0, 0, 99, 99);
  const Painted p = painted(kWhite);
  EXPECT_EQ(p.count, 20 * 30) << "reversed edges put in order";
  EXPECT_EQ(p.left, 40);
  EXPECT_EQ(p.top, 30);
}

TEST_F(Draw, DrawThroughPresentsExactlyTheChangedRectangle) {
  set_colour(15);
  set_fill_colour(15);
  struct Case {
    const char* name;
    void (*draw)();
    platform::Rect expected;
  };
  const Case cases[] = {
      {"fill", [] { fill_rectangle(5, 6, 14, 8); }, {5, 6, 10, 3}},
      {"thin line", [] { line(30, 20, 30, 29); }, {30, 20, 1, 10}},
      {"diagonal", [] { line(0, 0, 3, 4); }, {0, 0, 4, 5}},
      {"pixel", [] { put_pixel(77, 66, 3); }, {77, 66, 1, 1}},
      {"polygon", [] {
         const Point tri[] = {{50, 50}, {60, 50}, {50, 60}};
         filled_polygon(3, tri, -1, kWhite);
       }, {50, 50, 11, 11}},
  };
  for (const Case& c : cases) {
    const uint32_t before = hl::present_count();
    c.draw();
    EXPECT_EQ(hl::present_count(), before + 1) << c.name;
    const platform::Rect r = hl::last_present();
    EXPECT_EQ(r.x, c.expected.x) << c.name;
    EXPECT_EQ(r.y, c.expected.y) << c.name;
    EXPECT_EQ(r.w, c.expected.w) << c.name;
    EXPECT_EQ(r.h, c.expected.h) << c.name;
  }
  const uint32_t before = hl::present_count();
  fill_rectangle(500, 500, 600, 600);  // nothing inside: nothing to show
  EXPECT_EQ(hl::present_count(), before);
}

TEST_F(Draw, WithoutDrawThroughNothingShowsUntilARefresh) {
  const uint64_t black = hl::frame_hash();
  const uint32_t before = hl::present_count();
  EXPECT_EQ(set_draw_through(0), 1);
  set_colour(14);
  set_fill_colour(12);
  fill_rectangle(10, 10, 100, 100);
  line(0, 0, 200, 150);
  put_pixel(5, 5, 15);
  const Point tri[] = {{150, 10}, {250, 30}, {170, 90}};
  filled_polygon(3, tri, 2, kWhite);
  EXPECT_EQ(hl::present_count(), before);
  EXPECT_EQ(hl::frame_hash(), black);
  EXPECT_EQ(hl::frame_pixel(50, 50), 0u);
  EXPECT_EQ(back(50, 50), pen_colour(kPaletteMode, 12));
  refresh_all();
  EXPECT_EQ(hl::frame_pixel(50, 50), 0xFF0000u);
  EXPECT_EQ(hl::frame_pixel(5, 5), 0xFFFFFFu);
}

int32_t g_seen_x = 0, g_seen_y = 0;
bool g_seen_from_image = false;
int32_t add_one(int32_t x, int32_t y, int32_t c) {
  g_seen_x = x, g_seen_y = y, g_seen_from_image = pixel_filter_from_image();
  return c + 1;
}
int32_t twice(int32_t, int32_t, int32_t c) { return c * 2; }
int32_t drop_odd_x(int32_t x, int32_t, int32_t c) { return (x % 2) ? -1 : c; }
int32_t f4(int32_t, int32_t, int32_t c) { return c; }
int32_t f5(int32_t, int32_t, int32_t c) { return c; }
int32_t f6(int32_t, int32_t, int32_t c) { return c; }
int32_t f7(int32_t, int32_t, int32_t c) { return c; }
int32_t f8(int32_t, int32_t, int32_t c) { return c; }
int32_t f9(int32_t, int32_t, int32_t c) { return c; }

TEST_F(Draw, PixelFilters) {
  EXPECT_FALSE(pixel_filters_active());
  EXPECT_EQ(filter_pixel(1, 2, 7, true), 7);
  ASSERT_TRUE(add_pixel_filter(add_one));
  ASSERT_TRUE(add_pixel_filter(twice));
  EXPECT_FALSE(add_pixel_filter(add_one)) << "once only";
  EXPECT_FALSE(add_pixel_filter(nullptr));
  EXPECT_TRUE(pixel_filters_active());
  EXPECT_EQ(filter_pixel(3, 4, 7, true), 16) << "in the order added";
  EXPECT_EQ(g_seen_x, 3);
  EXPECT_EQ(g_seen_y, 4);
  EXPECT_TRUE(g_seen_from_image);
  EXPECT_FALSE(pixel_filter_from_image()) << "only during the call";
  filter_pixel(0, 0, 1, false);
  EXPECT_FALSE(g_seen_from_image);
  ASSERT_TRUE(add_pixel_filter(drop_odd_x));
  EXPECT_EQ(filter_pixel(5, 0, 1, true), -1);
  EXPECT_EQ(filter_pixel(6, 0, 1, true), 4);
  for (PixelFilter f : {f4, f5, f6, f7, f8}) EXPECT_TRUE(add_pixel_filter(f));
  EXPECT_FALSE(add_pixel_filter(f9)) << "eight at most";
  EXPECT_TRUE(remove_pixel_filter(twice));
  EXPECT_FALSE(remove_pixel_filter(twice));
  EXPECT_EQ(filter_pixel(6, 0, 1, true), 2);
  EXPECT_TRUE(add_pixel_filter(f9));
}

TEST_F(Draw, HostileCoordinatesStayInsideTheClip) {
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  struct Viewports {
    int32_t left, top;
  };
  for (const Viewports v : {Viewports{0, 0}, Viewports{hi, hi}, Viewports{lo, lo}, Viewports{hi, lo}}) {
    for (int32_t width : {1, 2, 7, 100000, hi, lo}) {
      for (int32_t style : {kStyleSolid, kStyleDash, kStyleDot}) {
        clear_window();
        set_viewport(v.left, v.top, 0, 0);
        set_line_style(style, width);
        set_colour(15);
        set_fill_colour(15);
        line(lo, lo, hi, hi);
        line(hi, lo, lo, hi);
        line(lo, 5, hi, 5);
        line(lo, hi, lo, hi);
        rectangle(lo, lo, hi, hi);
        fill_rectangle(lo, lo, hi, hi);
        fill_rectangle_rgb(hi, hi, kWhite, hi, hi);
        fill_rectangle_rgb(lo, lo, kWhite, hi, hi);
        const Point huge[] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}, {0, 0}, {hi, 0}};
        polyline(6, huge);
        filled_polygon(6, huge, 15, kWhite);
        put_pixel(hi, lo, 15);
        put_pixel(lo, hi, 15);
        uint32_t c = 0;
        get_pixel(hi, hi, &c);
        // The column max x and the row max y lie outside the full clip: they stay black.
        for (int32_t y = 0; y < 240; ++y) ASSERT_EQ(back(319, y), 0u) << width << " " << style;
        for (int32_t x = 0; x < 320; ++x) ASSERT_EQ(back(x, 239), 0u) << width << " " << style;
      }
    }
  }
  set_viewport(0, 0, 0, 0);
  const Point huge[] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
  EXPECT_TRUE(set_clip(1, lo, lo, hi, hi, 4, huge));
  EXPECT_TRUE(set_clip(1, hi, hi, hi, hi, 4, huge));
  EXPECT_TRUE(set_clip(1, lo, hi, -1, lo, 0, nullptr));
  fill_rectangle(lo, lo, hi, hi);
}

// The behaviours the golden frames below show, each with its pixels worked out here from the
// rules: dash patterns that run on around corners and along polylines, the closing pixel a thin
// outline paints, thick polylines as unions of round-ended pens, and polygon outlines over fills.

// The pixel patterns of the styles, in steps along the major axis from the figure's first point.
std::vector<bool> style_pattern(int32_t style) {
  std::vector<int> runs;
  switch (style) {
    case kStyleDash: runs = {18, 6}; break;
    case kStyleDot: runs = {3, 3}; break;
    case kStyleDashDot: runs = {9, 6, 3, 6}; break;
    case kStyleDashDotDot: runs = {9, 3, 3, 3, 3, 3}; break;
    default: runs = {1}; break;
  }
  std::vector<bool> pattern;
  for (size_t r = 0; r < runs.size(); ++r) pattern.insert(pattern.end(), static_cast<size_t>(runs[r]), r % 2 == 0);
  return pattern;
}

// The pixels of a walk along axis-parallel and 45-degree sides, one pixel per step, each side's
// last pixel left to the next side; with `close_end` the walk's final point is painted as well.
std::set<std::pair<int32_t, int32_t>> walk(const std::vector<Point>& corners, const std::vector<bool>& pattern,
                                           bool close_end) {
  std::set<std::pair<int32_t, int32_t>> on;
  size_t k = 0;
  for (size_t i = 0; i + 1 < corners.size(); ++i) {
    const Point a = corners[i], b = corners[i + 1];
    const int32_t sx = (b.x > a.x) - (b.x < a.x), sy = (b.y > a.y) - (b.y < a.y);
    const int32_t steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) + (close_end && i + 2 == corners.size() ? 1 : 0);
    for (int32_t j = 0; j < steps; ++j, ++k) {
      if (pattern[k % pattern.size()]) on.insert({a.x + sx * j, a.y + sy * j});
    }
  }
  return on;
}

TEST_F(Draw, StyledFiguresRunTheirPatternOnAroundCorners) {
  struct Figure {
    const char* name;
    std::vector<Point> corners;
    bool rectangle;
  };
  const Figure figures[] = {
      {"rectangle 10,10-40,20", {{10, 10}, {40, 10}, {40, 20}, {10, 20}, {10, 10}}, true},
      {"polyline with a diagonal", {{10, 50}, {30, 50}, {50, 70}, {50, 90}, {20, 120}}, false},
      {"one diagonal line", {{100, 10}, {130, 40}}, false},
  };
  for (int32_t style : {kStyleSolid, kStyleDash, kStyleDot, kStyleDashDot, kStyleDashDotDot}) {
    for (const Figure& f : figures) {
      clear_window();
      set_line_style(style, 1);
      set_colour(15);
      if (f.rectangle) {
        rectangle(f.corners[0].x, f.corners[0].y, f.corners[2].x, f.corners[2].y);
      } else if (f.corners.size() == 2) {
        line(f.corners[0].x, f.corners[0].y, f.corners[1].x, f.corners[1].y);
      } else {
        polyline(static_cast<int32_t>(f.corners.size()), f.corners.data());
      }
      EXPECT_EQ(lit_set(kWhite), walk(f.corners, style_pattern(style), true)) << f.name << " style " << style;
    }
  }
}

// The thick-pen rule: a pixel is painted when its sample point (the pixel's corner, moved half a
// pixel down and right for even widths) lies nearer than w / 2 to some segment of the figure.
// Exact, in doubled integer units: squared distance num / den against (w / 2)^2 = w^2 / 4.
bool near_any_segment(const std::vector<Point>& p, int64_t w, int32_t x, int32_t y) {
  const int64_t e = w % 2 == 0 ? 1 : 0;
  const int64_t px = 2 * int64_t{x} + e, py = 2 * int64_t{y} + e;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const int64_t ax = 2 * int64_t{p[i].x}, ay = 2 * int64_t{p[i].y};
    const int64_t bx = 2 * int64_t{p[i + 1].x}, by = 2 * int64_t{p[i + 1].y};
    const int64_t dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    const int64_t t = (px - ax) * dx + (py - ay) * dy;
    int64_t num = 0, den = 1;
    if (len2 == 0 || t <= 0) {
      num = (px - ax) * (px - ax) + (py - ay) * (py - ay);
    } else if (t >= len2) {
      num = (px - bx) * (px - bx) + (py - by) * (py - by);
    } else {
      const int64_t c = (px - ax) * dy - (py - ay) * dx;
      num = c * c, den = len2;
    }
    if (num < w * w * den) return true;
  }
  return false;
}

TEST_F(Draw, ThickPolylinesAreUnionsOfRoundEndedPens) {
  struct Case {
    const char* name;
    int32_t width;
    std::vector<Point> corners;
  };
  const Case cases[] = {
      {"bent, 5 wide", 5, {{20, 130}, {40, 200}, {55, 140}, {60, 220}}},
      {"bent, 4 wide", 4, {{120, 20}, {150, 90}, {170, 30}, {230, 60}}},
      {"rectangle, 6 wide", 6, {{150, 110}, {200, 110}, {200, 230}, {150, 230}, {150, 110}}},
      {"one line, 3 wide", 3, {{250, 20}, {300, 33}}},
      {"spike, 13 wide", 13, {{240, 100}, {300, 105}, {245, 104}}},
  };
  for (const Case& c : cases) {
    clear_window();
    set_line_style(kStyleSolid, c.width);
    set_colour(15);
    if (c.corners.size() == 2) {
      line(c.corners[0].x, c.corners[0].y, c.corners[1].x, c.corners[1].y);
    } else if (c.corners.size() == 5) {
      rectangle(c.corners[0].x, c.corners[0].y, c.corners[2].x, c.corners[2].y);
    } else {
      polyline(static_cast<int32_t>(c.corners.size()), c.corners.data());
    }
    int count = 0;
    for (int32_t y = 0; y < 239; ++y) {
      for (int32_t x = 0; x < 319; ++x) {
        const bool expected = near_any_segment(c.corners, c.width, x, y);
        ASSERT_EQ(back(x, y) == kWhite, expected) << c.name << " at " << x << "," << y;
        count += expected;
      }
    }
    EXPECT_GT(count, 100) << c.name;
  }
}

TEST_F(Draw, PolygonOutlinesRunTheirPatternOverTheFill) {
  // The fill keeps the top-left convention (x 200..299, y 160..229); the dash-dot outline in colour
  // 13 goes round from the first point, each side leaving its last pixel to the next.
  const std::vector<Point> box = {{200, 160}, {300, 160}, {300, 230}, {200, 230}, {200, 160}};
  const uint32_t fill = rgb(250, 250, 120), outline = pixel_colour(kPaletteMode, 13);
  set_line_style(kStyleDashDot, 1);
  filled_polygon(4, box.data(), 13, fill);
  const auto on = walk(box, style_pattern(kStyleDashDot), false);
  for (int32_t y = 150; y < 239; ++y) {
    for (int32_t x = 190; x < 319; ++x) {
      uint32_t expected = 0;
      if (x >= 200 && x < 300 && y >= 160 && y < 230) expected = fill;
      if (on.count({x, y})) expected = outline;
      ASSERT_EQ(back(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(back(200, 160), outline) << "the walk starts on";
}

// Golden frames: whole headless frames after a scene, hashed. The table changes only on purpose;
// run with LUMRA_PRINT_GOLDEN=1 to print the current values, and with LUMRA_GOLDEN_DUMP=folder to
// write each frame there as a PPM picture for review.
struct Golden {
  const char* name;
  void (*scene)();
  uint64_t hash;
};

void scene_line_styles() {
  for (int32_t style = kStyleSolid; style <= kStyleDashDotDot; ++style) {
    set_line_style(style, 1);
    set_colour(9 + style);
    const int32_t y = 10 + style * 20;
    line(5, y, 300, y + 7);
    line(5 + style * 12, 120, 40 + style * 30, 230);
    const Point zig[] = {{180, 120 + style * 2}, {220, 150}, {260, 125 + style * 5}, {300, 230 - style * 9}};
    polyline(4, zig);
  }
  set_line_style(kStyleDot, 1);
  set_colour(15);
  rectangle(2, 2, 316, 236);
}

void scene_thick_lines() {
  const int32_t widths[] = {2, 3, 4, 5, 8, 13};
  for (int32_t i = 0; i < 6; ++i) {
    set_line_style(kStyleSolid, widths[i]);
    set_colour(9 + i);
    line(10 + i * 50, 10, 40 + i * 45, 100 - i * 7);
    const Point bend[] = {{20 + i * 48, 130}, {40 + i * 48, 200}, {55 + i * 48, 140}, {60 + i * 48, 220}};
    polyline(4, bend);
  }
  set_line_style(kStyleSolid, 6);
  set_colour(15);
  rectangle(150, 110, 200, 230);
}

void scene_polygons() {
  const Point star[] = {{80, 10}, {128, 150}, {8, 60}, {152, 60}, {32, 150}};
  filled_polygon(5, star, 14, rgb(200, 40, 40));
  const Point concave[] = {{170, 20}, {300, 30}, {240, 80}, {310, 150}, {180, 120}, {220, 70}};
  filled_polygon(6, concave, -1, rgb(40, 200, 90));
  set_line_style(kStyleSolid, 4);
  const Point thin_spike[] = {{20, 170}, {300, 180}, {25, 175}};
  filled_polygon(3, thin_spike, 11, rgb(60, 60, 220));
  set_line_style(kStyleDashDot, 1);
  const Point box[] = {{200, 160}, {300, 160}, {300, 230}, {200, 230}};
  filled_polygon(4, box, 13, rgb(250, 250, 120));
  const Point clip_shape[] = {{0, 0}, {319, 239}, {0, 239}};
  set_clip(1, 0, 0, 319, 239, 3, clip_shape);
  set_line_style(kStyleSolid, 1);
  set_fill_colour(10);
  fill_rectangle(120, 100, 230, 160);
  set_clip(0, 0, 0, 0, 0, 0, nullptr);
}

TEST_F(Draw, GoldenFrames) {
  const Golden table[] = {
      {"line styles", scene_line_styles, 0xd7db868dca8e8995ull},
      {"thick lines", scene_thick_lines, 0x775d033e51177bb2ull},
      {"polygons", scene_polygons, 0x0c6aa66982c52e3bull},
  };
  const bool print = std::getenv("LUMRA_PRINT_GOLDEN") != nullptr;
  for (const Golden& g : table) {
    clear_window();
    g.scene();
    const uint64_t hash = hl::frame_hash();
    if (const char* folder = std::getenv("LUMRA_GOLDEN_DUMP")) {
      testing::write_frame_ppm(std::string(folder) + "/" + g.name + ".ppm");
    }
    if (print) std::printf("      {\"%s\", ..., 0x%016llxull},\n", g.name, static_cast<unsigned long long>(hash));
    EXPECT_EQ(hash, g.hash) << g.name;
  }
}

}  // namespace
}  // namespace lumra::graphics
