// Polygons and the regions made from them. Pixel rule: pixel (x, y) is sampled at its grid point;
// row y meets an edge when top <= y < bottom (so bottom edges and horizontal edges add nothing),
// and x is inside when it lies at or right of a crossing and left of the next - the top-left fill
// convention, which leaves the right and bottom edges out. Alternate counts crossings left of x
// (odd: inside); winding sums their directions (non-zero: inside).
#include <algorithm>

#include "framework/base/checked.h"
#include "framework/base/heap.h"
#include "framework/graphics/raster.h"
#include "framework/graphics/raster_internal.h"

namespace lumra::graphics {

using raster_detail::ceil_div;
using raster_detail::clamp64;
using raster_detail::Int128;

namespace {

struct Edge {
  int64_t x_top;
  int64_t y_top;
  int64_t y_bottom;
  int64_t dx;  // x_bottom - x_top
  int64_t dy;  // y_bottom - y_top, > 0
  int32_t direction;
};

struct Crossing {
  int64_t x;  // first pixel at or right of the crossing
  int32_t direction;
  uint32_t edge;
};

// Edges and the crossings of the active ones, in one heap block.
struct Scan {
  Edge* edges;
  Crossing* crossings;
  size_t edge_count;
  void* block;
};

void scan_release(Scan* s) {
  base::heap_free(s->block);
  *s = Scan{};
}

int scan_setup(Scan* s, const Point64* points, size_t count) {
  *s = Scan{};
  if (count < 3 || !points) return 1;  // no interior
  for (size_t i = 0; i < count; ++i) {
    if (!raster_in_range(points[i])) return 1;  // not drawn
  }
  size_t each = sizeof(Edge) + sizeof(Crossing);
  size_t bytes = 0;
  if (count > UINT32_MAX || !base::checked_mul(count, each, &bytes)) return 0;
  s->block = base::heap_alloc(bytes);
  if (!s->block) return 0;
  s->edges = static_cast<Edge*>(s->block);
  s->crossings = reinterpret_cast<Crossing*>(s->edges + count);
  for (size_t i = 0; i < count; ++i) {
    const Point64 a = points[i], b = points[(i + 1) % count];
    if (a.y == b.y) continue;
    const bool down = a.y < b.y;
    const Point64 top = down ? a : b, bottom = down ? b : a;
    s->edges[s->edge_count++] = Edge{top.x, top.y, bottom.y, bottom.x - top.x, bottom.y - top.y, down ? 1 : -1};
  }
  std::sort(s->edges, s->edges + s->edge_count, [](const Edge& l, const Edge& r) { return l.y_top < r.y_top; });
  return 1;
}

// The first pixel at or right of where row y meets the edge: x_top + ceil((y - y_top) dx / dy),
// in 64 bits while the product fits (any polygon on screen), else in 128.
int64_t crossing_x(const Edge& e, int64_t y) {
  int64_t product = 0;
  if (!__builtin_mul_overflow(y - e.y_top, e.dx, &product)) {
    int64_t q = product / e.dy;
    if (product % e.dy != 0 && product > 0) ++q;
    int64_t x = 0;
    if (!__builtin_add_overflow(q, e.x_top, &x)) return x;
  }
  return clamp64(ceil_div(static_cast<Int128>(y - e.y_top) * e.dx, e.dy) + e.x_top);
}

// The active edges keep last row's crossing order, which changes little from row to row, so an
// insertion sort is close to linear; a row that needs many moves (a hostile polygon) is sorted
// outright instead.
void sort_crossings(Crossing* c, size_t n) {
  size_t budget = 8 * n + 64;
  for (size_t i = 1; i < n; ++i) {
    const Crossing item = c[i];
    size_t j = i;
    for (; j > 0 && c[j - 1].x > item.x; --j) {
      if (budget-- == 0) {
        c[j] = item;
        std::sort(c, c + n, [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
        return;
      }
      c[j] = c[j - 1];
    }
    c[j] = item;
  }
}

// Calls emit(y, x0, x1) for the inside runs [x0, x1) of rows first .. end - 1, in row order.
template <class Emit>
void scan_rows(Scan* s, FillRule rule, int64_t first, int64_t end, Emit emit) {
  if (s->edge_count == 0) return;
  int64_t lowest = s->edges[0].y_top, highest = s->edges[0].y_bottom;
  for (size_t i = 0; i < s->edge_count; ++i) highest = std::max(highest, s->edges[i].y_bottom);
  first = std::max(first, lowest);
  end = std::min(end, highest);
  size_t next = 0, active = 0;
  for (int64_t y = first; y < end; ++y) {
    for (; next < s->edge_count && s->edges[next].y_top <= y; ++next) {
      s->crossings[active++] = Crossing{0, 0, static_cast<uint32_t>(next)};
    }
    size_t crossings = 0;
    for (size_t i = 0; i < active; ++i) {
      const Edge& e = s->edges[s->crossings[i].edge];
      if (e.y_bottom <= y) continue;
      s->crossings[crossings++] = Crossing{crossing_x(e, y), e.direction, s->crossings[i].edge};
    }
    active = crossings;
    sort_crossings(s->crossings, crossings);
    if (rule == FillRule::kAlternate) {
      for (size_t i = 0; i + 1 < crossings; i += 2) {
        if (s->crossings[i].x < s->crossings[i + 1].x) emit(y, s->crossings[i].x, s->crossings[i + 1].x);
      }
      continue;
    }
    int32_t winding = 0;
    int64_t run_start = 0;
    for (size_t i = 0; i < crossings; ++i) {
      const int32_t before = winding;
      winding += s->crossings[i].direction;
      if (before == 0 && winding != 0) run_start = s->crossings[i].x;
      if (before != 0 && winding == 0 && run_start < s->crossings[i].x) emit(y, run_start, s->crossings[i].x);
    }
  }
}

}  // namespace

int raster_polygon(RasterTarget* t, const Point64* points, size_t count, FillRule rule, uint32_t colour) {
  Scan s{};
  if (!scan_setup(&s, points, count)) return 0;
  scan_rows(&s, rule, t->clip.top, t->clip.bottom,
            [&](int64_t y, int64_t x0, int64_t x1) { raster_span(t, y, x0, x1, colour); });
  scan_release(&s);
  return 1;
}

int region_from_polygon(RegionMask* out, const Point64* points, size_t count, FillRule rule, int32_t left, int32_t top,
                        int32_t right, int32_t bottom) {
  *out = RegionMask{};
  if (right <= left || bottom <= top) return 1;  // empty
  Scan s{};
  if (!scan_setup(&s, points, count)) return 0;
  const auto rows = static_cast<size_t>(bottom - top);
  auto* row_start = static_cast<uint32_t*>(base::heap_alloc_zeroed(rows + 1, sizeof(uint32_t)));
  Span* spans = nullptr;
  uint32_t used = 0, capacity = 0;
  bool ok = row_start != nullptr;
  int64_t filled_to = top;  // rows before this have their start set
  if (ok) {
    scan_rows(&s, rule, top, bottom, [&](int64_t y, int64_t x0, int64_t x1) {
      if (!ok) return;
      x0 = std::max<int64_t>(x0, left);
      x1 = std::min<int64_t>(x1, right);
      for (; filled_to <= y; ++filled_to) row_start[filled_to - top] = used;
      if (x0 >= x1) return;
      // Runs of one row arrive sorted and disjoint; touching ones merge.
      if (used > row_start[y - top] && spans[used - 1].x1 >= x0) {
        spans[used - 1].x1 = static_cast<int32_t>(std::max<int64_t>(spans[used - 1].x1, x1));
        return;
      }
      if (used == capacity) {
        const uint32_t grown = capacity ? capacity * 2 : 64;
        auto* more = static_cast<Span*>(base::heap_realloc(spans, static_cast<size_t>(grown) * sizeof(Span)));
        if (!more || grown < capacity) {
          ok = false;
          return;
        }
        spans = more;
        capacity = grown;
      }
      spans[used++] = Span{static_cast<int32_t>(x0), static_cast<int32_t>(x1)};
    });
  }
  scan_release(&s);
  if (!ok) {
    base::heap_free(row_start);
    base::heap_free(spans);
    return 0;
  }
  for (; filled_to <= bottom; ++filled_to) row_start[filled_to - top] = used;
  *out = RegionMask{top, bottom, row_start, spans, used};
  return 1;
}

}  // namespace lumra::graphics
