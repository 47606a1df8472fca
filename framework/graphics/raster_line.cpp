// Lines. Thin ("cosmetic") lines follow the diamond rule of GDI's cosmetic lines with integer end
// points: one pixel per step of the major axis, the first pixel in and the last one out. Thick
// lines are the set of pixels near the segment, with round ends; the exact rules are set out above
// each function. Both visit only the rows or columns of the clip, so any coordinate is cheap.
#include <algorithm>
#include <cmath>

#include "framework/graphics/colour.h"
#include "framework/graphics/raster.h"
#include "framework/graphics/raster_internal.h"

namespace lumra::graphics {

using raster_detail::ceil_div;
using raster_detail::floor_div;
using raster_detail::Int128;

namespace {

// Dash patterns in pixels along the major axis, starting with "on". A display's style step is a
// third of a style unit per pixel, so the usual unit patterns {6,2}, {1,1}, {3,2,1,2} and
// {3,1,1,1,1,1} become these; the gaps are left unpainted (the window draws with a transparent
// background).
struct DashPattern {
  int32_t length;
  int32_t runs[6];
  int32_t run_count;
};
constexpr DashPattern kDash{24, {18, 6}, 2};
constexpr DashPattern kDot{6, {3, 3}, 2};
constexpr DashPattern kDashDot{24, {9, 6, 3, 6}, 4};
constexpr DashPattern kDashDotDot{24, {9, 3, 3, 3, 3, 3}, 6};

const DashPattern* dash_pattern(int32_t style) {
  switch (style) {
    case kStyleDash: return &kDash;
    case kStyleDot: return &kDot;
    case kStyleDashDot: return &kDashDot;
    case kStyleDashDotDot: return &kDashDotDot;
    default: return nullptr;
  }
}

// on[i] for the pattern positions 0 .. length - 1.
void expand_pattern(const DashPattern& p, bool* on) {
  int32_t at = 0;
  for (int32_t r = 0; r < p.run_count; ++r) {
    for (int32_t k = 0; k < p.runs[r]; ++k) on[at++] = (r % 2) == 0;
  }
}

int64_t abs64(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

// Pixel rule: with n = max(|dx|, |dy|) the line has pixels i = 0 .. n - 1, one per step of the
// major axis. The minor coordinate is the ideal one (minor0 + i * dminor / n) rounded to the
// nearest integer; an ideal value exactly halfway between two pixels goes to the smaller
// coordinate (up for x-major lines, left for y-major ones) - the tie rule of the sliding diamond,
// whose top and left vertices win. |dx| = |dy| is drawn as x-major (it has no ties). The rule does
// not depend on the direction except that the start is in and the end out.
void raster_thin_line(RasterTarget* t, Point64 a, Point64 b, uint32_t colour, int32_t style, int64_t* phase,
                      int64_t steps) {
  if (!raster_in_range(a) || !raster_in_range(b)) return;
  const int64_t dx = b.x - a.x, dy = b.y - a.y;
  const int64_t adx = abs64(dx), ady = abs64(dy);
  int64_t n = std::max(adx, ady);
  if (steps >= 0 && steps < n) n = steps;
  if (n == 0) return;
  const DashPattern* pattern = dash_pattern(style);
  // A caller's phase may be any number: it is taken modulo the pattern, never below 0.
  const int64_t start_phase = pattern ? ((*phase % pattern->length) + pattern->length) % pattern->length : 0;
  if (pattern) *phase = (start_phase + n % pattern->length) % pattern->length;
  if (style == kStyleNull) return;
  bool on[24] = {};
  if (pattern) expand_pattern(*pattern, on);

  const bool x_major = adx >= ady;
  const int64_t slope_length = std::max(adx, ady);  // n may be cut short by `steps`
  const int64_t major0 = x_major ? a.x : a.y, minor0 = x_major ? a.y : a.x;
  const int64_t major_step = (x_major ? dx : dy) > 0 ? 1 : -1;
  const int64_t dminor = x_major ? dy : dx;
  const int64_t slope = abs64(dminor);
  const RasterClip& c = t->clip;
  const int64_t lo = x_major ? c.left : c.top, hi = x_major ? c.right : c.bottom;
  const int64_t minor_lo = x_major ? c.top : c.left, minor_hi = x_major ? c.bottom : c.right;

  // Steps whose major coordinate lies in the clip.
  int64_t first = 0, end = n;
  if (major_step > 0) {
    first = std::max<int64_t>(0, lo - major0);
    end = std::min<int64_t>(n, hi - major0);
  } else {
    first = std::max<int64_t>(0, major0 - hi + 1);
    end = std::min<int64_t>(n, major0 - lo + 1);
  }
  if (first >= end) return;

  // Minor offset k at step i: ceil((2 i s - n) / 2n) going towards larger minor coordinates,
  // floor((2 i s + n) / 2n) going towards smaller ones (then minor = minor0 - k); both put a tie on
  // the smaller coordinate. r is the remainder that lets each step add 2s instead of dividing.
  const bool down = dminor < 0;
  const int64_t two_n = 2 * slope_length;
  const Int128 numerator = static_cast<Int128>(2) * first * slope + (down ? slope_length : -slope_length);
  const Int128 k0 = down ? floor_div(numerator, two_n) : ceil_div(numerator, two_n);
  int64_t k = static_cast<int64_t>(k0);
  int64_t r = static_cast<int64_t>(numerator - k0 * two_n);
  const int64_t two_s = 2 * slope;
  const int64_t minor_sign = down ? -1 : 1;
  const int64_t length = pattern ? pattern->length : 1;
  int64_t position = (start_phase + first % length) % length;
  for (int64_t i = first; i < end; ++i) {
    const int64_t major = major0 + major_step * i;
    const int64_t minor = minor0 + minor_sign * k;
    if ((!pattern || on[position]) && minor >= minor_lo && minor < minor_hi) {
      raster_pixel(t, x_major ? major : minor, x_major ? minor : major, colour);
    }
    if (++position == length) position = 0;
    r += two_s;
    if (down ? r >= two_n : r > 0) r -= two_n, ++k;
  }
}

Point64 thin_line_pixel(Point64 a, Point64 b, int64_t i) {
  if (!raster_in_range(a) || !raster_in_range(b)) return a;
  const int64_t dx = b.x - a.x, dy = b.y - a.y;
  const int64_t n = std::max(abs64(dx), abs64(dy));
  if (n == 0) return a;
  const bool x_major = abs64(dx) >= abs64(dy);
  const int64_t dminor = x_major ? dy : dx;
  const Int128 numerator = static_cast<Int128>(2) * i * abs64(dminor) + (dminor < 0 ? n : -n);
  const int64_t k = static_cast<int64_t>(dminor < 0 ? floor_div(numerator, 2 * n) : ceil_div(numerator, 2 * n));
  const int64_t minor = (x_major ? a.y : a.x) + (dminor < 0 ? -k : k);
  const int64_t major = (x_major ? a.x : a.y) + ((x_major ? dx : dy) > 0 ? i : -i);
  return x_major ? Point64{major, minor} : Point64{minor, major};
}

namespace {

// Coordinates up to this size keep the exact pen test within 128 bits; a thick segment reaching
// further is first cut to the clip (GDI itself refuses device coordinates past 2^27).
constexpr int64_t kExactRange = int64_t{1} << 27;

struct Capsule {
  Int128 ax, ay, bx, by;  // end points, doubled
  Int128 dx, dy, len2;    // b - a and its squared length, doubled units
  Int128 width2;          // width squared
  int64_t even;           // 1 when the width is even
};

// Whether pixel (x, y) is covered: see raster_thick_line.
bool covers(const Capsule& s, int64_t x, int64_t y) {
  const Int128 px = static_cast<Int128>(2) * x + s.even, py = static_cast<Int128>(2) * y + s.even;
  const Int128 vx = px - s.ax, vy = py - s.ay;
  const Int128 along = vx * s.dx + vy * s.dy;
  if (s.len2 == 0 || along <= 0) return vx * vx + vy * vy < s.width2;
  if (along >= s.len2) {
    const Int128 ux = px - s.bx, uy = py - s.by;
    return ux * ux + uy * uy < s.width2;
  }
  const Int128 cross = vx * s.dy - vy * s.dx;
  return cross * cross < s.width2 * s.len2;
}

struct Interval {
  long double lo;
  long double hi;
  bool empty() const { return !(lo <= hi); }
};

Interval unite(Interval a, Interval b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return Interval{std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

Interval intersect(Interval a, Interval b) { return Interval{std::max(a.lo, b.lo), std::min(a.hi, b.hi)}; }

// X with lo <= alpha X + beta <= hi.
Interval solve(long double alpha, long double beta, long double lo, long double hi) {
  if (alpha == 0) {
    if (beta >= lo && beta <= hi) return Interval{-HUGE_VALL, HUGE_VALL};
    return Interval{1, 0};
  }
  const long double u = (lo - beta) / alpha, v = (hi - beta) / alpha;
  return Interval{std::min(u, v), std::max(u, v)};
}

Interval disc_row(long double cx, long double cy, long double radius, long double row) {
  const long double h = radius * radius - (row - cy) * (row - cy);
  if (h < 0) return Interval{1, 0};
  const long double s = std::sqrt(h);
  return Interval{cx - s, cx + s};
}

// Liang-Barsky cut of a..b to the box; false when nothing is left.
bool cut_to_box(long double* ax, long double* ay, long double* bx, long double* by, long double left,
                long double top, long double right, long double bottom) {
  const long double dx = *bx - *ax, dy = *by - *ay;
  long double t0 = 0, t1 = 1;
  const long double p[4] = {-dx, dx, -dy, dy};
  const long double q[4] = {*ax - left, right - *ax, *ay - top, bottom - *ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const long double r = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  if (t0 > t1) return false;
  const long double x0 = *ax + t0 * dx, y0 = *ay + t0 * dy;
  *bx = *ax + t1 * dx;
  *by = *ay + t1 * dy;
  *ax = x0;
  *ay = y0;
  return true;
}

bool far_out(Point64 p) { return abs64(p.x) > kExactRange || abs64(p.y) > kExactRange; }

}  // namespace

// Pixel rule: a pen of width w covers pixel (x, y) when the distance d from a sample point to the
// segment a..b satisfies d < w / 2 (a point exactly on the pen's edge is left out). The sample
// point is the pixel's own grid point (x, y) for odd widths and (x + 1/2, y + 1/2) for even ones,
// so an even pen reaches one pixel further up and left than down and right, as the top-left fill
// convention has it. The covered set is the segment's rectangle with a disc of diameter w at each
// end: round ends, and drawn per segment, round joins. Each row is estimated in floating point and
// its two ends settled by the exact test, so the result is exact whatever the rounding.
void raster_thick_line(RasterTarget* t, Point64 a, Point64 b, int64_t width, uint32_t colour) {
  const int64_t w = std::clamp<int64_t>(width, 2, kMaxPenWidth);
  const RasterClip& c = t->clip;
  if (c.left >= c.right || c.top >= c.bottom || !raster_in_range(a) || !raster_in_range(b)) return;
  if (far_out(a) || far_out(b)) {
    const long double margin = static_cast<long double>(w) / 2 + 2;
    long double ax = static_cast<long double>(a.x), ay = static_cast<long double>(a.y);
    long double bx = static_cast<long double>(b.x), by = static_cast<long double>(b.y);
    if (!cut_to_box(&ax, &ay, &bx, &by, c.left - margin, c.top - margin, c.right + margin, c.bottom + margin)) return;
    a = Point64{std::llround(ax), std::llround(ay)};
    b = Point64{std::llround(bx), std::llround(by)};
  }
  Capsule s{};
  s.even = (w % 2 == 0) ? 1 : 0;
  s.ax = static_cast<Int128>(2) * a.x, s.ay = static_cast<Int128>(2) * a.y;
  s.bx = static_cast<Int128>(2) * b.x, s.by = static_cast<Int128>(2) * b.y;
  s.dx = s.bx - s.ax, s.dy = s.by - s.ay;
  s.len2 = s.dx * s.dx + s.dy * s.dy;
  s.width2 = static_cast<Int128>(w) * w;

  const int64_t reach = w / 2 + 2;
  const int64_t row_first = std::max<int64_t>(c.top, std::min(a.y, b.y) - reach);
  const int64_t row_end = std::min<int64_t>(c.bottom, std::max(a.y, b.y) + reach + 1);
  // The estimate uses a slightly larger pen so that rounding can only widen it.
  const long double radius = static_cast<long double>(w) + 0.5L;
  const long double ax = static_cast<long double>(s.ax), ay = static_cast<long double>(s.ay);
  const long double bx = static_cast<long double>(s.bx), by = static_cast<long double>(s.by);
  const long double ddx = bx - ax, ddy = by - ay;
  const long double len = std::sqrt(ddx * ddx + ddy * ddy);
  for (int64_t y = row_first; y < row_end; ++y) {
    const long double row = 2.0L * static_cast<long double>(y) + static_cast<long double>(s.even);
    Interval span = unite(disc_row(ax, ay, radius, row), disc_row(bx, by, radius, row));
    if (len > 0) {
      // Along the segment: 0 <= (Q - a).d <= |d|^2; across it: |(Q - a) x d| <= radius |d|

      // (the along range is widened by half a pixel only: the discs cover the ends).
      const Interval along = solve(ddx, ddy * (row - ay) - ddx * ax, -len, len * len + len);
      const Interval across = solve(ddy, -(row - ay) * ddx - ax * ddy, -radius * len, radius * len);
      span = unite(span, intersect(along, across));
    }
    if (span.empty()) continue;
    const long double lo = std::floor((span.lo - static_cast<long double>(s.even)) / 2) - 1;
    const long double hi = std::ceil((span.hi - static_cast<long double>(s.even)) / 2) + 1;
    int64_t x0 = static_cast<int64_t>(std::clamp<long double>(lo, c.left, c.right));
    int64_t x1 = static_cast<int64_t>(std::clamp<long double>(hi, c.left - 1, c.right - 1));
    while (x0 <= x1 && !covers(s, x0, y)) ++x0;
    while (x1 >= x0 && !covers(s, x1, y)) --x1;
    if (x0 <= x1) raster_span(t, y, x0, x1 + 1, colour);
  }
}

}  // namespace lumra::graphics
