// The rasterizer at screen size (1920 x 1080, 24-bit): whole-buffer solid fills beside memset of
// the same buffer, long thin, dashed and thick lines, a large polygon, and a fill through the
// drawing primitives on a headless window. Bytes per second compare fills with memset.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "framework/graphics/back_buffer.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/raster.h"
#include "framework/input/input.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace lumra::graphics {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

struct Screen {
  PaintBuffer buffer{};
  Screen() { buffer_create(&buffer, kWidth, kHeight); }
  ~Screen() { buffer_release(&buffer); }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  size_t bytes() const { return static_cast<size_t>(buffer.stride) * static_cast<size_t>(buffer.height); }
  RasterTarget target() { return raster_target(&buffer, 0, 0, kWidth, kHeight, nullptr); }
};

void BM_Memset(benchmark::State& state) {
  Screen s;
  int v = 0;
  for (auto _ : state) {
    std::memset(s.buffer.pixels, ++v & 255, s.bytes());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.bytes()));
}
BENCHMARK(BM_Memset)->Unit(benchmark::kMicrosecond);

// state.range(0): 0 a grey (one memset), 1 a colour (the 16-pixel pattern stores).
void BM_FillBuffer(benchmark::State& state) {
  Screen s;
  const uint32_t colour = state.range(0) ? rgb(200, 100, 50) : rgb(255, 255, 255);
  for (auto _ : state) {
    RasterTarget t = s.target();
    raster_fill_rect(&t, 0, 0, kWidth, kHeight, colour);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.bytes()));
}
BENCHMARK(BM_FillBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A rectangle one pixel in from every side: a row at a time instead of one run.
void BM_FillInset(benchmark::State& state) {
  Screen s;
  for (auto _ : state) {
    RasterTarget t = s.target();
    raster_fill_rect(&t, 1, 1, kWidth - 1, kHeight - 1, rgb(200, 100, 50));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.bytes()));
}
BENCHMARK(BM_FillInset)->Unit(benchmark::kMicrosecond);

// 64 lines corner to corner and across: about 1.2 million pixels per iteration.
std::vector<std::pair<Point64, Point64>> long_lines() {
  std::vector<std::pair<Point64, Point64>> lines;
  for (int i = 0; i < 16; ++i) {
    const int64_t x = i * 120, y = i * 67;
    lines.push_back({{0, y}, {kWidth - 1, kHeight - 1 - y}});
    lines.push_back({{x, 0}, {kWidth - 1 - x, kHeight - 1}});
    lines.push_back({{-5000, y}, {kWidth + 5000, y + 300}});
    lines.push_back({{x, -7000}, {x + 500, kHeight + 7000}});
  }
  return lines;
}

// state.range(0): line style (0 solid, 1 dash).
void BM_ThinLines(benchmark::State& state) {
  Screen s;
  const auto lines = long_lines();
  int64_t pixels = 0;
  for (auto _ : state) {
    RasterTarget t = s.target();
    for (const auto& [a, b] : lines) {
      int64_t phase = 0;
      raster_thin_line(&t, a, b, rgb(255, 255, 0), static_cast<int32_t>(state.range(0)), &phase);
      pixels += std::min<int64_t>(std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)), kWidth);
    }
    benchmark::ClobberMemory();
  }
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ThinLines)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ThickLines(benchmark::State& state) {
  Screen s;
  const auto lines = long_lines();
  for (auto _ : state) {
    RasterTarget t = s.target();
    for (const auto& [a, b] : lines) raster_thick_line(&t, a, b, state.range(0), rgb(0, 255, 255));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ThickLines)->Arg(3)->Arg(9)->Unit(benchmark::kMicrosecond);

// A 400-point star spanning the buffer (many crossings per row), and a large triangle.
void BM_LargePolygon(benchmark::State& state) {
  Screen s;
  std::vector<Point64> points;
  const int n = static_cast<int>(state.range(0));
  for (int i = 0; i < n; ++i) {
    const double angle = 2 * std::numbers::pi * i / n;
    const double radius = (i % 2) ? 540 : 200;
    points.push_back({static_cast<int64_t>(960 + radius * 1.7 * std::cos(angle)),
                      static_cast<int64_t>(540 + radius * std::sin(angle))});
  }
  for (auto _ : state) {
    RasterTarget t = s.target();
    raster_polygon(&t, points.data(), points.size(), FillRule::kAlternate, rgb(30, 60, 90));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LargePolygon)->Arg(3)->Arg(400)->Unit(benchmark::kMicrosecond);

// fill_rectangle through the drawing state and clip on a headless window of that size,
// draw-through off.
void BM_FillRectanglePrimitive(benchmark::State& state) {
  platform::shutdown();
  graphics_reset();
  input::input_reset();
  platform::headless::reset();
  const platform::Rect display{0, 0, 2560, 1440};
  platform::headless::set_displays(&display, 1);
  platform::use_backend(platform::headless::backend());
  open_window("bench", kWidth + 1, kHeight + 1, 0, 0, -1, 1);
  set_draw_through(0);
  set_fill_colour(12);
  for (auto _ : state) {
    fill_rectangle(0, 0, kWidth - 1, kHeight - 1);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
  graphics_reset();
  input::input_reset();
  platform::shutdown();
  platform::headless::reset();
}
BENCHMARK(BM_FillRectanglePrimitive)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lumra::graphics

BENCHMARK_MAIN();
