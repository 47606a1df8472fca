// Start-up and steady-state costs of the SDL2 backend; needs an X server (run under xvfb-run).
// Start-up runs in fresh child processes so that each sample pays SDL's full start; the summary
// line compares the time to the first presented frame with the time of SDL's video start alone.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

namespace {

using namespace lumra;
using platform::sdl2::PresentPath;

int64_t now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

enum class Start { kVideoOnly, kFirstFrameSurface, kFirstFrameRenderer };

// In a child: one start-up, measured from before the backend is chosen.
int64_t start_once(Start what) {
  const int64_t t0 = now_ns();
  platform::sdl2::set_present_path(what == Start::kFirstFrameRenderer ? PresentPath::kSoftwareRenderer
                                                                      : PresentPath::kWindowSurface);
  platform::use_backend(platform::sdl2::backend());
  if (what == Start::kVideoOnly) {
    if (platform::display_count() <= 0) return -1;  // SDL_InitSubSystem(SDL_INIT_VIDEO) and nothing else
  } else {
    graphics::open_window("Lumra", 164, 314, 0, 0, -1, 0);  // ends with the cleared window presented
    if (graphics::g_graphics.gwin.opened != 0) return -1;
  }
  return now_ns() - t0;
}

int64_t start_in_child(Start what) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int64_t ns = start_once(what);
    (void)!write(fds[1], &ns, sizeof ns);
    _exit(0);
  }
  close(fds[1]);
  int64_t ns = -1;
  if (read(fds[0], &ns, sizeof ns) != sizeof ns) ns = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return ns;
}

std::vector<int64_t> g_samples[3];

void BM_StartUp(benchmark::State& state) {
  const auto what = static_cast<Start>(state.range(0));
  for (auto _ : state) {
    const int64_t ns = start_in_child(what);
    if (ns < 0) {
      state.SkipWithError("no display");
      return;
    }
    g_samples[state.range(0)].push_back(ns);
    state.SetIterationTime(static_cast<double>(ns) / 1e9);
  }
}
BENCHMARK(BM_StartUp)->Arg(0)->Name("BM_SdlVideoInitAlone")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_StartUp)->Arg(1)->Name("BM_FirstFrame/window_surface")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_StartUp)->Arg(2)->Name("BM_FirstFrame/software_renderer")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// SDL's X11 driver cannot always start again in a process once it has stopped (libX11 is
// unloaded with it), so every steady-state measurement runs in a child with a window of its own.
// The child reports nanoseconds per operation.
template <class Op>
double per_op_in_child(PresentPath path, int32_t width, int32_t height, int64_t count, Op op) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    double ns = -1;
    platform::sdl2::set_present_path(path);
    platform::use_backend(platform::sdl2::backend());
    graphics::open_window("Lumra", width, height, 0, 0, -1, 1);
    if (graphics::g_graphics.gwin.opened == 0) {
      for (int i = 0; i < 20; ++i) input::delay(5);  // let the start-up events drain
      const int64_t t0 = now_ns();
      for (int64_t i = 0; i < count; ++i) op(i);
      ns = static_cast<double>(now_ns() - t0) / static_cast<double>(count);
    }
    (void)!write(fds[1], &ns, sizeof ns);
    _exit(0);
  }
  close(fds[1]);
  double ns = -1;
  if (read(fds[0], &ns, sizeof ns) != sizeof ns) ns = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return ns;
}

void report(benchmark::State& state, double ns) {
  for (auto _ : state) {
    if (ns < 0) {
      state.SkipWithError("no display");
      return;
    }
    state.SetIterationTime(ns / 1e9);
  }
}

void BM_ClockReadingEmptyQueue(benchmark::State& state) {
  report(state, per_op_in_child(PresentPath::kWindowSurface, 164, 314, 200000,
                                [](int64_t) { benchmark::DoNotOptimize(input::read_clock()); }));
}
BENCHMARK(BM_ClockReadingEmptyQueue)->UseManualTime()->Iterations(1)->Unit(benchmark::kNanosecond);

void BM_RefreshAll(benchmark::State& state) {
  const auto path = static_cast<PresentPath>(state.range(0));
  const auto width = static_cast<int32_t>(state.range(1));
  const auto height = static_cast<int32_t>(state.range(2));
  const int64_t count = width * height > 200000 ? 200 : 2000;
  report(state, per_op_in_child(path, width, height, count, [](int64_t i) {
           const auto shade = static_cast<uint8_t>(i);
           graphics::buffer_fill(&graphics::g_graphics.gwin.wmpaintdc, platform::Rect{0, 0, 1, 1}, shade, shade, shade);
           graphics::refresh_all();
         }));
}
BENCHMARK(BM_RefreshAll)
    ->ArgNames({"renderer", "w", "h"})
    ->Args({0, 164, 314})
    ->Args({1, 164, 314})
    ->Args({0, 1280, 1024})
    ->Args({1, 1280, 1024})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

// A 16 x 16 refresh in a screen-sized window: what draw-through costs per primitive.
void BM_RefreshSmallRect(benchmark::State& state) {
  const auto path = static_cast<PresentPath>(state.range(0));
  report(state, per_op_in_child(path, 1280, 1024, 2000, [](int64_t i) {
           const auto shade = static_cast<uint8_t>(i);
           const int32_t x = static_cast<int32_t>(i % 64) * 16;
           graphics::buffer_fill(&graphics::g_graphics.gwin.wmpaintdc, platform::Rect{x, 100, 16, 16}, shade, shade, shade);
           graphics::refresh_rect(x, 100, 16, 16);
         }));
}
BENCHMARK(BM_RefreshSmallRect)->ArgName("renderer")->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

double median_ms(std::vector<int64_t> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return static_cast<double>(v[v.size() / 2]) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double video = median_ms(g_samples[0]);
  const double surface = median_ms(g_samples[1]);
  const double renderer = median_ms(g_samples[2]);
  if (video > 0) {
    std::printf("median: SDL video start %.1f ms; first frame %.1f ms (window surface, %.2fx), %.1f ms "
                "(software renderer, %.2fx); target <= 1.3x\n",
                video, surface, surface / video, renderer, renderer / video);
  }
  return 0;
}
