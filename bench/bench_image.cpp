// Shrinking a 4000 x 3000 Rgb32 picture to 144 pixels wide on the drawing's slow path (area
// averaging into a headless window), beside Pillow's box filter (Debian's python3-pil) on the same
// pixels in the same run; the closing line gives our time as a multiple of Pillow's.
// Also the fast path at natural size and resampling, for scale.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/graphics/window.h"
#include "framework/input/input.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/resample.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace lumra::image {
namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;
constexpr int32_t kTargetWidth = 144;
// Pillow from Debian's package, whatever python3 comes first on PATH.
constexpr const char* kPython = "/usr/bin/python3";

// A photograph stand-in: smooth gradients with fine detail and a little noise.
struct Picture {
  Image img{};
  Picture() {
    image_allocate(&img, Rgb32, kWidth, kHeight, 0, nullptr, 0, 0);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = img.pixels + static_cast<size_t>(y) * img.stride;
      for (int32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const uint32_t noise = seed >> 28;
        row[x * 4 + 0] = static_cast<uint8_t>(x * 255 / kWidth + noise);
        row[x * 4 + 1] = static_cast<uint8_t>(y * 255 / kHeight + ((x ^ y) & 15));
        row[x * 4 + 2] = static_cast<uint8_t>((x + y) / 31 + noise);
        row[x * 4 + 3] = 255;
      }
    }
  }
  ~Picture() { image_free(&img); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
};

Picture& picture() {
  static Picture p;
  return p;
}

// A headless window for the drawing to land in.
struct Window {
  Window() {
    platform::headless::reset();
    platform::use_backend(platform::headless::backend());
    graphics::open_window("bench", 320, 240, 0, 0, -1, 1);
    graphics::set_draw_through(0);
  }
  ~Window() {
    graphics::graphics_reset();
    platform::shutdown();
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
};

void BM_ShrinkSlowPath(benchmark::State& state) {
  Window w;
  Image& img = picture().img;
  img.fastStretch = 0;
  const auto mode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    image_draw(&img, 0, 0, mode, kTargetWidth, 0);
    benchmark::ClobberMemory();
  }
  const DrawReport r = last_draw_report();
  if (r.path != DrawPath::kSlow || r.draw_height != kHeight * kTargetWidth / kWidth) state.SkipWithError("not the slow path");
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ShrinkSlowPath)->Arg(kDrawTrueColour)->Arg(kDrawNearest)->Arg(kDrawColourDither)->Unit(benchmark::kMillisecond);

void BM_NaturalSizeFastPath(benchmark::State& state) {
  Window w;
  Image& img = picture().img;
  for (auto _ : state) {
    image_draw(&img, 0, 0, kDrawNearest, 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 319 * 239);
}
BENCHMARK(BM_NaturalSizeFastPath)->Unit(benchmark::kMillisecond);

void BM_ResampleHalf(benchmark::State& state) {
  Image& img = picture().img;
  Image out{};
  for (auto _ : state) {
    image_resample(&out, &img, kDrawNearest, Rgb32, 0, 0, kWidth / 2, kHeight / 2, 0, 0, 0, 0, 0);
    benchmark::ClobberMemory();
  }
  image_free(&out);
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ResampleHalf)->Unit(benchmark::kMillisecond);

// Console output as usual, plus each run's time per iteration kept for the closing ratio.
class TimeKeeper : public benchmark::ConsoleReporter {
 public:
  TimeKeeper() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      seconds[run.benchmark_name()] = run.GetAdjustedRealTime() / 1e3;  // reported in ms
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

// Pillow's box filter on the same pixels: the median of 15 timed resizes, in seconds; < 0 when
// Pillow cannot be run.
double pillow_seconds() {
  char path[] = "/tmp/lumra-bench-image-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return -1;
  const Image& img = picture().img;
  const size_t bytes = static_cast<size_t>(img.stride) * img.height;
  const bool written = write(fd, img.pixels, bytes) == static_cast<ssize_t>(bytes);
  close(fd);
  double result = -1;
  if (written) {
    const std::string script =
        "import sys, time\n"
        "from PIL import Image\n"
        "w, h, out_w = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "im = Image.frombytes('RGB', (w, h), data, 'raw', 'RGBX')\n"
        "size = (out_w, h * out_w // w)\n"
        "im.resize(size, Image.BOX)\n"
        "times = []\n"
        "for _ in range(15):\n"
        "    t = time.perf_counter()\n"
        "    im.resize(size, Image.BOX)\n"
        "    times.append(time.perf_counter() - t)\n"
        "print(sorted(times)[len(times) // 2])\n";
    const std::string command = std::string(kPython) + " -c \"$LUMRA_PILLOW_SCRIPT\" " + path + " " +
                                std::to_string(kWidth) + " " + std::to_string(kHeight) + " " +
                                std::to_string(kTargetWidth);
    setenv("LUMRA_PILLOW_SCRIPT", script.c_str(), 1);
    if (FILE* p = popen(command.c_str(), "r")) {
      double s = -1;
      if (std::fscanf(p, "%lf", &s) == 1) result = s;
      if (pclose(p) != 0) result = -1;
    }
  }
  unlink(path);
  return result;
}

}  // namespace
}  // namespace lumra::image

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  lumra::image::TimeKeeper reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double pillow = lumra::image::pillow_seconds();
  std::printf("\nShrinking %d x %d Rgb32 to %d wide:\n", lumra::image::kWidth, lumra::image::kHeight,
              lumra::image::kTargetWidth);
  if (pillow <= 0) {
    std::printf("  Pillow could not be run (%s with python3-pil): no ratio\n", lumra::image::kPython);
    return 0;
  }
  std::printf("  Pillow resize(BOX)            %8.2f ms (median of 15)\n", pillow * 1e3);
  for (const auto& [name, seconds] : reporter.seconds) {
    if (name.rfind("BM_ShrinkSlowPath", 0) != 0) continue;
    std::printf("  %-29s %8.2f ms  = %.2f x Pillow\n", name.c_str(), seconds * 1e3, seconds / pillow);
  }
  return 0;
}
