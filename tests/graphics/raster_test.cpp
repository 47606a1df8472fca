// The rasterizer alone on small buffers: thin lines, thick lines and polygons against
// brute-force references written from the pixel rules (a per-pixel formula, not the incremental
// walk), clipping to rectangles and regions, and coordinates at the ends of the 32-bit range.
#include "framework/graphics/raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "framework/graphics/back_buffer.h"
#include "framework/graphics/colour.h"

namespace lumra::graphics {
namespace {

constexpr uint32_t kWhite = rgb(255, 255, 255);
__extension__ typedef __int128 Wide;

Wide floor_div(Wide n, Wide d) {  // d > 0
  Wide q = n / d;
  if (n % d != 0 && n < 0) --q;
  return q;
}

struct Canvas {
  PaintBuffer buffer{};
  explicit Canvas(int32_t w, int32_t h) { EXPECT_TRUE(buffer_create(&buffer, w, h)); }
  ~Canvas() { buffer_release(&buffer); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  RasterTarget target(int64_t l, int64_t t, int64_t r, int64_t b, const RegionMask* mask = nullptr) {
    return raster_target(&buffer, l, t, r, b, mask);
  }
  RasterTarget whole() { return target(0, 0, buffer.width, buffer.height); }
  uint32_t at(int32_t x, int32_t y) const {
    const uint8_t* p = buffer_pixel(&buffer, x, y);
    return rgb(p[2], p[1], p[0]);
  }
  std::set<std::pair<int64_t, int64_t>> lit() const {
    std::set<std::pair<int64_t, int64_t>> out;
    for (int32_t y = 0; y < buffer.height; ++y) {
      for (int32_t x = 0; x < buffer.width; ++x) {
        if (at(x, y) != 0) out.insert({x, y});
      }
    }
    return out;
  }
};

using PixelSet = std::set<std::pair<int64_t, int64_t>>;

// The thin-line rule as a formula per pixel: minor = the ideal value rounded to nearest, halves
// to the smaller coordinate, i.e. ceil(ideal - 1/2) = floor((2 v + n - 1) / 2n) over v = minor0 n + i d.
PixelSet reference_thin(Point64 a, Point64 b, int64_t l, int64_t t, int64_t r, int64_t bt) {
  PixelSet out;
  const int64_t dx = b.x - a.x, dy = b.y - a.y;
  const int64_t n = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  const bool x_major = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
  for (int64_t i = 0; i < n; ++i) {
    int64_t x = 0, y = 0;
    if (x_major) {
      x = a.x + (dx > 0 ? i : -i);
      const Wide v = static_cast<Wide>(a.y) * n + static_cast<Wide>(i) * dy;
      y = static_cast<int64_t>(floor_div(2 * v + n - 1, 2 * static_cast<Wide>(n)));
    } else {
      y = a.y + (dy > 0 ? i : -i);
      const Wide v = static_cast<Wide>(a.x) * n + static_cast<Wide>(i) * dx;
      x = static_cast<int64_t>(floor_div(2 * v + n - 1, 2 * static_cast<Wide>(n)));
    }
    if (x >= l && x < r && y >= t && y < bt) out.insert({x, y});
  }
  return out;
}

TEST(RasterThinLine, TieAndEndRules) {
  struct Case {
    const char* name;
    Point64 a, b;
    PixelSet expected;
  };
  const Case cases[] = {
      {"x-major tie goes up", {0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 0}, {3, 1}}},
      {"reversed: same tie, start in, end out", {4, 1}, {0, 0}, {{4, 1}, {3, 1}, {2, 0}, {1, 0}}},
      {"y-major tie goes left", {0, 0}, {1, 4}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
      {"upward x-major tie goes up", {0, 4}, {4, 3}, {{0, 4}, {1, 4}, {2, 3}, {3, 3}}},
      {"diagonal", {1, 1}, {4, 4}, {{1, 1}, {2, 2}, {3, 3}}},
      {"anti-diagonal", {4, 0}, {1, 3}, {{4, 0}, {3, 1}, {2, 2}}},
      {"extended diagonal (0,0)-(4,5)", {0, 0}, {4, 5}, {{0, 0}, {1, 1}, {2, 2}, {2, 3}, {3, 4}}},
      {"horizontal leaves out its end", {2, 5}, {6, 5}, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
      {"one step", {3, 3}, {3, 4}, {{3, 3}}},
      {"zero length paints nothing", {3, 3}, {3, 3}, {}},
  };
  for (const Case& c : cases) {
    Canvas canvas(10, 10);
    RasterTarget t = canvas.whole();
    int64_t phase = 0;
    raster_thin_line(&t, c.a, c.b, kWhite, kStyleSolid, &phase);
    EXPECT_EQ(canvas.lit(), c.expected) << c.name;
  }
}

TEST(RasterThinLine, MatchesPerPixelFormulaWithClipping) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int64_t> coordinate(-60, 160);
  for (int round = 0; round < 3000; ++round) {
    const Point64 a{coordinate(random), coordinate(random)}, b{coordinate(random), coordinate(random)};
    Canvas canvas(100, 80);
    RasterTarget t = canvas.target(7, 5, 93, 71);
    int64_t phase = 0;
    raster_thin_line(&t, a, b, kWhite, kStyleSolid, &phase);
    ASSERT_EQ(canvas.lit(), reference_thin(a, b, 7, 5, 93, 71))
        << "(" << a.x << "," << a.y << ")-(" << b.x << "," << b.y << ")";
  }
}

TEST(RasterThinLine, HugeCoordinatesAreExactAndCheap) {
  struct Case {
    Point64 a, b;
  };
  const int64_t lo = INT32_MIN, hi = INT32_MAX;
  const Case cases[] = {
      {{lo, 0}, {hi, 10}},         {{hi, 37}, {lo, 20}},       {{-5, lo}, {70, hi}},
      {{lo + lo, lo}, {hi + hi, hi}}, {{lo, lo}, {hi, hi}},   {{0, hi}, {99, lo}},
      {{lo, 40}, {hi, 40}},        {{50, lo}, {50, hi}},
  };
  for (const Case& c : cases) {
    Canvas canvas(100, 80);
    RasterTarget t = canvas.target(0, 0, 100, 80);
    int64_t phase = 0;
    raster_thin_line(&t, c.a, c.b, kWhite, kStyleSolid, &phase);
    // The reference walks only the columns or rows of the buffer.
    PixelSet expected;
    const int64_t dx = c.b.x - c.a.x, dy = c.b.y - c.a.y;
    const bool x_major = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const int64_t n = x_major ? (dx < 0 ? -dx : dx) : (dy < 0 ? -dy : dy);
    for (int64_t m = 0; m < (x_major ? 100 : 80); ++m) {
      const int64_t i = x_major ? (dx > 0 ? m - c.a.x : c.a.x - m) : (dy > 0 ? m - c.a.y : c.a.y - m);
      if (i < 0 || i >= n) continue;
      const Wide v = static_cast<Wide>(x_major ? c.a.y : c.a.x) * n + static_cast<Wide>(i) * (x_major ? dy : dx);
      const int64_t minor = static_cast<int64_t>(floor_div(2 * v + n - 1, 2 * static_cast<Wide>(n)));
      const int64_t x = x_major ? m : minor, y = x_major ? minor : m;
      if (x >= 0 && x < 100 && y >= 0 && y < 80) expected.insert({x, y});
    }
    EXPECT_EQ(canvas.lit(), expected) << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
  }
}

TEST(RasterThinLine, DashPatternsRunOnAcrossSegments) {
  struct Case {
    const char* name;
    int32_t style;
    std::vector<int> on_runs;  // alternating on/off lengths, starting with on
  };
  const Case cases[] = {
      {"dash 18/6", kStyleDash, {18, 6}},
      {"dot 3/3", kStyleDot, {3, 3}},
      {"dash-dot 9/6/3/6", kStyleDashDot, {9, 6, 3, 6}},
      {"dash-dot-dot 9/3/3/3/3/3", kStyleDashDotDot, {9, 3, 3, 3, 3, 3}},
  };
  for (const Case& c : cases) {
    std::vector<bool> pattern;
    for (size_t r = 0; r < c.on_runs.size(); ++r) pattern.insert(pattern.end(), c.on_runs[r], r % 2 == 0);
    Canvas canvas(120, 3);
    RasterTarget t = canvas.whole();
    int64_t phase = 0;
    // Two pieces of one polyline: the pattern carries on at x = 50.
    raster_thin_line(&t, {0, 1}, {50, 1}, kWhite, c.style, &phase);
    EXPECT_EQ(phase, static_cast<int64_t>(50 % pattern.size())) << c.name;
    raster_thin_line(&t, {50, 1}, {110, 1}, kWhite, c.style, &phase);
    for (int32_t x = 0; x < 120; ++x) {
      const bool expected = x < 110 && pattern[static_cast<size_t>(x) % pattern.size()];
      ASSERT_EQ(canvas.at(x, 1) != 0, expected) << c.name << " x=" << x;
    }
  }
}

TEST(RasterThinLine, AnyPhaseIsTakenModuloThePattern) {
  for (int64_t phase_in : {int64_t{-1}, int64_t{-25}, INT64_MIN, INT64_MAX, int64_t{7}}) {
    Canvas canvas(40, 3);
    RasterTarget t = canvas.whole();
    int64_t phase = phase_in;
    raster_thin_line(&t, {0, 1}, {30, 1}, kWhite, kStyleDot, &phase);
    const int64_t start = ((phase_in % 6) + 6) % 6;
    EXPECT_EQ(phase, (start + 30) % 6);
    for (int32_t x = 0; x < 30; ++x) ASSERT_EQ(canvas.at(x, 1) != 0, (start + x) % 6 < 3) << phase_in << " " << x;
  }
}

TEST(RasterThinLine, StyleCountsMajorAxisStepsAndNullPaintsNothing) {
  Canvas canvas(40, 40);
  RasterTarget t = canvas.whole();
  int64_t phase = 0;
  raster_thin_line(&t, {0, 0}, {12, 24}, kWhite, kStyleDot, &phase);  // y-major: rows count
  for (int64_t y = 0; y < 24; ++y) {
    const int64_t x = (y * 12 * 2 + 24 - 1) / 48;  // nearest, halves down (all positive)
    EXPECT_EQ(canvas.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) != 0, (y % 6) < 3) << y;
  }
  Canvas empty(40, 40);
  RasterTarget e = empty.whole();
  phase = 0;
  raster_thin_line(&e, {0, 0}, {30, 7}, kWhite, kStyleNull, &phase);
  EXPECT_TRUE(empty.lit().empty());
}

// The thick-pen rule per pixel: distance from the sample point (the grid point, shifted by half
// a pixel down-right for even widths) to the segment below w / 2, in doubled integer units.
bool reference_covers(Point64 a, Point64 b, int64_t w, int64_t x, int64_t y) {
  const int64_t e = w % 2 == 0 ? 1 : 0;
  const Wide px = 2 * x + e, py = 2 * y + e, ax = 2 * a.x, ay = 2 * a.y, bx = 2 * b.x, by = 2 * b.y;
  const Wide dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  const Wide t = (px - ax) * dx + (py - ay) * dy;
  Wide num = 0, den = 1;  // squared distance as num / den
  if (len2 == 0 || t <= 0) {
    num = (px - ax) * (px - ax) + (py - ay) * (py - ay);
  } else if (t >= len2) {
    num = (px - bx) * (px - bx) + (py - by) * (py - by);
  } else {
    const Wide c = (px - ax) * dy - (py - ay) * dx;
    num = c * c, den = len2;
  }
  return num < static_cast<Wide>(w) * w * den;
}

TEST(RasterThickLine, ExactShapes) {
  struct Case {
    const char* name;
    Point64 a, b;
    int64_t width;
    int32_t left, top, right, bottom;  // expected bounding box, inclusive
    int count;
  };
  const Case cases[] = {
      {"width 3 horizontal: round ends of 3 x 3", {10, 10}, {20, 10}, 3, 9, 9, 21, 11, 39},
      {"width 2 reaches up and left", {10, 10}, {20, 10}, 2, 9, 9, 20, 10, 24},
      {"width 5 dot is a disc of 21 pixels", {30, 30}, {30, 30}, 5, 28, 28, 32, 32, 21},
      {"width 2 dot is 2 x 2", {30, 30}, {30, 30}, 2, 29, 29, 30, 30, 4},
      {"width 4 vertical", {40, 5}, {40, 15}, 4, 38, 3, 41, 16, 4 * 14 - 4},
  };
  for (const Case& c : cases) {
    Canvas canvas(60, 40);
    RasterTarget t = canvas.whole();
    raster_thick_line(&t, c.a, c.b, c.width, kWhite);
    const PixelSet lit = canvas.lit();
    ASSERT_FALSE(lit.empty()) << c.name;
    int64_t l = INT64_MAX, tp = INT64_MAX, r = INT64_MIN, bt = INT64_MIN;
    for (auto [x, y] : lit) l = std::min(l, x), r = std::max(r, x), tp = std::min(tp, y), bt = std::max(bt, y);
    EXPECT_EQ(l, c.left) << c.name;
    EXPECT_EQ(tp, c.top) << c.name;
    EXPECT_EQ(r, c.right) << c.name;
    EXPECT_EQ(bt, c.bottom) << c.name;
    EXPECT_EQ(static_cast<int>(lit.size()), c.count) << c.name;
  }
}

TEST(RasterThickLine, MatchesPerPixelRule) {
  std::mt19937 random(9);
  std::uniform_int_distribution<int64_t> coordinate(-30, 110);
  std::uniform_int_distribution<int64_t> width(2, 23);
  for (int round = 0; round < 600; ++round) {
    const Point64 a{coordinate(random), coordinate(random)}, b{coordinate(random), coordinate(random)};
    const int64_t w = width(random);
    Canvas canvas(90, 70);
    RasterTarget t = canvas.target(3, 2, 88, 67);
    raster_thick_line(&t, a, b, w, kWhite);
    PixelSet expected;
    for (int64_t y = 2; y < 67; ++y) {
      for (int64_t x = 3; x < 88; ++x) {
        if (reference_covers(a, b, w, x, y)) expected.insert({x, y});
      }
    }
    ASSERT_EQ(canvas.lit(), expected) << "(" << a.x << "," << a.y << ")-(" << b.x << "," << b.y << ") w " << w;
  }
}

TEST(RasterThickLine, HugeCoordinatesAndWidthsStayInside) {
  const int64_t lo = INT32_MIN, hi = INT32_MAX;
  struct Case {
    Point64 a, b;
    int64_t width;
  };
  const Case cases[] = {
      {{lo, lo}, {hi, hi}, 7},          {{lo, 20}, {hi, 20}, 2},         {{hi, lo}, {lo, hi}, 1000000},
      {{lo * 3, 5}, {hi * 3, 60}, 64},  {{50, 50}, {50, 50}, INT32_MAX}, {{-1000000, 30}, {1000000, 31}, 3},
  };
  for (const Case& c : cases) {
    Canvas canvas(100, 80);
    RasterTarget t = canvas.target(10, 10, 90, 70);
    raster_thick_line(&t, c.a, c.b, c.width, kWhite);
    for (auto [x, y] : canvas.lit()) ASSERT_TRUE(x >= 10 && x < 90 && y >= 10 && y < 70) << x << "," << y;
    EXPECT_FALSE(canvas.lit().empty());
  }
  // Within the exact range the huge width still follows the rule.
  Canvas canvas(100, 80);
  RasterTarget t = canvas.whole();
  raster_thick_line(&t, {-1000000, 30}, {1000000, 31}, 3, kWhite);
  for (int64_t x = 0; x < 100; ++x) {
    for (int64_t y = 0; y < 80; ++y) {
      ASSERT_EQ(canvas.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) != 0,
                reference_covers({-1000000, 30}, {1000000, 31}, 3, x, y));
    }
  }
}

// The polygon rules per pixel: count the edges that row y meets (top <= y < bottom) whose crossing
// lies at or left of x; alternate: odd, winding: the directions do not cancel.
bool reference_inside(const std::vector<Point64>& p, FillRule rule, int64_t x, int64_t y) {
  int count = 0, winding = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    Point64 a = p[i], b = p[(i + 1) % p.size()];
    if (a.y == b.y) continue;
    int dir = 1;
    if (a.y > b.y) std::swap(a, b), dir = -1;
    if (y < a.y || y >= b.y) continue;
    // crossing x_c = a.x + (y - a.y)(b.x - a.x)/(b.y - a.y) <= x
    if (static_cast<Wide>(y - a.y) * (b.x - a.x) <= static_cast<Wide>(x - a.x) * (b.y - a.y)) ++count, winding += dir;
  }
  return rule == FillRule::kAlternate ? (count % 2) == 1 : winding != 0;
}

TEST(RasterPolygon, MatchesPerPixelRules) {
  std::mt19937 random(17);
  std::uniform_int_distribution<int64_t> coordinate(-20, 100);
  std::uniform_int_distribution<int> vertices(3, 12);
  for (int round = 0; round < 800; ++round) {
    std::vector<Point64> p(static_cast<size_t>(vertices(random)));
    for (Point64& q : p) q = Point64{coordinate(random), coordinate(random)};
    for (FillRule rule : {FillRule::kAlternate, FillRule::kWinding}) {
      Canvas canvas(80, 60);
      RasterTarget t = canvas.target(4, 3, 77, 58);
      ASSERT_TRUE(raster_polygon(&t, p.data(), p.size(), rule, kWhite));
      PixelSet expected;
      for (int64_t y = 3; y < 58; ++y) {
        for (int64_t x = 4; x < 77; ++x) {
          if (reference_inside(p, rule, x, y)) expected.insert({x, y});
        }
      }
      ASSERT_EQ(canvas.lit(), expected) << "round " << round << " rule " << static_cast<int>(rule);
    }
  }
}

TEST(RasterPolygon, ThousandsOfCrossingsPerRow) {
  // Random vertices: every row has many crossings in a new order, so the sort of the crossings
  // cannot lean on the previous row's order.
  std::mt19937 random(23);
  std::uniform_int_distribution<int64_t> coordinate(-10, 90);
  std::vector<Point64> p(3000);
  for (Point64& q : p) q = Point64{coordinate(random), coordinate(random)};
  for (FillRule rule : {FillRule::kAlternate, FillRule::kWinding}) {
    Canvas canvas(80, 60);
    RasterTarget t = canvas.whole();
    ASSERT_TRUE(raster_polygon(&t, p.data(), p.size(), rule, kWhite));
    PixelSet expected;
    for (int64_t y = 0; y < 60; ++y) {
      for (int64_t x = 0; x < 80; ++x) {
        if (reference_inside(p, rule, x, y)) expected.insert({x, y});
      }
    }
    EXPECT_EQ(canvas.lit(), expected);
  }
}

TEST(RasterPolygon, TopLeftConvention) {
  Canvas canvas(30, 30);
  RasterTarget t = canvas.whole();
  const Point64 square[] = {{5, 5}, {15, 5}, {15, 15}, {5, 15}};
  ASSERT_TRUE(raster_polygon(&t, square, 4, FillRule::kAlternate, kWhite));
  const PixelSet lit = canvas.lit();
  EXPECT_EQ(lit.size(), 100u) << "right and bottom edges are left out";
  EXPECT_TRUE(lit.count({5, 5}) && lit.count({14, 14}) && !lit.count({15, 5}) && !lit.count({5, 15}));
  EXPECT_EQ(t.touched.left, 5);
  EXPECT_EQ(t.touched.right, 15);
  EXPECT_EQ(t.touched.top, 5);
  EXPECT_EQ(t.touched.bottom, 15);
}

TEST(RasterPolygon, HugeAndDegeneratePolygons) {
  const int64_t lo = INT32_MIN, hi = INT32_MAX;
  Canvas canvas(64, 48);
  RasterTarget t = canvas.target(1, 1, 63, 47);
  const Point64 huge[] = {{lo * 2, lo * 2}, {hi * 2, lo}, {hi, hi * 2}, {lo, hi}};
  ASSERT_TRUE(raster_polygon(&t, huge, 4, FillRule::kAlternate, kWhite));
  EXPECT_EQ(canvas.lit().size(), 62u * 46u) << "covers the clip and nothing more";
  const Point64 line[] = {{0, 0}, {40, 40}};
  Canvas other(64, 48);
  RasterTarget u = other.whole();
  EXPECT_TRUE(raster_polygon(&u, line, 2, FillRule::kAlternate, kWhite));
  EXPECT_TRUE(raster_polygon(&u, nullptr, 5, FillRule::kAlternate, kWhite));
  EXPECT_TRUE(other.lit().empty()) << "no interior";
}

TEST(RasterRegion, PolygonRegionClipsSpansAndPixels) {
  const std::vector<Point64> star = {{30, 0}, {48, 56}, {0, 20}, {60, 20}, {12, 56}};
  RegionMask region{};
  ASSERT_TRUE(region_from_polygon(&region, star.data(), star.size(), FillRule::kWinding, 5, 5, 55, 50));
  Canvas canvas(64, 64);
  RasterTarget t = canvas.target(0, 0, 64, 64, &region);
  raster_fill_rect(&t, -100, -100, 100, 100, kWhite);
  PixelSet expected;
  for (int64_t y = 0; y < 64; ++y) {
    for (int64_t x = 0; x < 64; ++x) {
      if (x >= 5 && x < 55 && y >= 5 && y < 50 && reference_inside(star, FillRule::kWinding, x, y)) expected.insert({x, y});
      EXPECT_EQ(raster_inside(t.clip, x, y), expected.count({x, y}) == 1);
    }
  }
  EXPECT_EQ(canvas.lit(), expected);
  EXPECT_TRUE(expected.count({30, 30})) << "winding fills the star's centre";
  region_release(&region);
  EXPECT_EQ(region.spans, nullptr);
}

TEST(RasterFill, SpansPixelsAndColoursWithinTheClip) {
  Canvas canvas(50, 20);
  RasterTarget t = canvas.target(10, 5, 40, 15);
  raster_fill_rect(&t, INT64_MIN / 2, 0, INT64_MAX / 2, 8, rgb(1, 2, 3));
  raster_span(&t, 12, -5, 12, rgb(200, 100, 50));
  raster_pixel(&t, 39, 14, kWhite);
  raster_pixel(&t, 40, 14, kWhite);  // outside
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 50; ++x) {
      uint32_t expected = 0;
      if (x >= 10 && x < 40 && y >= 5 && y < 8) expected = rgb(1, 2, 3);
      if (y == 12 && x >= 10 && x < 12) expected = rgb(200, 100, 50);
      if (x == 39 && y == 14) expected = kWhite;
      ASSERT_EQ(canvas.at(x, y), expected) << x << "," << y;
    }
  }
  uint32_t c = 0;
  EXPECT_TRUE(raster_get_pixel(t, 11, 12, &c));
  EXPECT_EQ(c, rgb(200, 100, 50));
  EXPECT_FALSE(raster_get_pixel(t, 9, 12, &c));
  EXPECT_EQ(t.touched.left, 10);
  EXPECT_EQ(t.touched.top, 5);
  EXPECT_EQ(t.touched.right, 40);
  EXPECT_EQ(t.touched.bottom, 15);
}

TEST(RasterFill, RowRunsOfEveryLengthAndPadding) {
  // Widths around the 16-pixel block and a padded stride (width 5: 15 bytes, stride 16).
  for (int32_t w : {1, 5, 15, 16, 17, 33, 64}) {
    Canvas canvas(w, 3);
    RasterTarget t = canvas.whole();
    raster_fill_rect(&t, 0, 0, w, 3, rgb(9, 8, 7));
    for (int32_t y = 0; y < 3; ++y) {
      for (int32_t x = 0; x < w; ++x) ASSERT_EQ(canvas.at(x, y), rgb(9, 8, 7)) << w;
    }
  }
}

TEST(RasterRange, PointsBeyondTheCoordinateRangeDrawNothing) {
  const Point64 far{INT64_MIN, INT64_MAX};
  const Point64 near_end{kMaxCoordinate, 6};
  Canvas canvas(20, 10);
  RasterTarget t = canvas.whole();
  int64_t phase = 0;
  raster_thin_line(&t, far, {5, 5}, kWhite, kStyleSolid, &phase);
  raster_thick_line(&t, {5, 5}, far, 5, kWhite);
  const Point64 polygon[] = {{0, 0}, {19, 0}, far};
  EXPECT_TRUE(raster_polygon(&t, polygon, 3, FillRule::kAlternate, kWhite));
  EXPECT_TRUE(canvas.lit().empty());
  EXPECT_EQ(thin_line_pixel(far, {0, 0}, 3).x, far.x);
  // The edge of the range still draws.
  raster_thin_line(&t, {-kMaxCoordinate, 5}, near_end, kWhite, kStyleSolid, &phase);
  raster_thick_line(&t, {-kMaxCoordinate, 5}, near_end, 3, kWhite);
  EXPECT_FALSE(canvas.lit().empty());
}

TEST(RasterTarget, ClipIsCutToTheBuffer) {
  Canvas canvas(20, 10);
  const RasterTarget t = canvas.target(INT64_MIN, -5, INT64_MAX, 1000);
  EXPECT_EQ(t.clip.left, 0);
  EXPECT_EQ(t.clip.top, 0);
  EXPECT_EQ(t.clip.right, 20);
  EXPECT_EQ(t.clip.bottom, 10);
  const RasterTarget reversed = canvas.target(15, 8, 5, 2);
  EXPECT_GE(reversed.clip.left, reversed.clip.right);
  const RasterTarget none = raster_target(nullptr, 0, 0, 10, 10, nullptr);
  EXPECT_EQ(none.clip.right, 0);
}

}  // namespace
}  // namespace lumra::graphics
