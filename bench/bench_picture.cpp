// Decoding a 4000 x 3000 picture with our readers against the libraries' own loops, in one run:
// an LZW TIFF (ours vs libtiff's TIFFReadEncodedStrip), a PNG and a JPEG (ours vs a bare libpng or
// libjpeg loop producing rows of our layout, four bytes a pixel). Every side allocates its output
// per decode. The pictures are written once into a private folder from a fixed pattern: smooth
// gradients with fine noise. At the end the TIFF LZW speed ratio is printed twice: from the
// runs above, and as the median of paired rounds (one decode each, back to back, in CPU time),
// which a busy machine disturbs far less.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "framework/image/picture_file.h"

namespace {

using namespace lumra::image;

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

struct Files {
  std::string dir, tiff, png, jpeg;
  Files() {
    char pattern[] = "/tmp/lumra-bench-picture-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/tmp";
    tiff = dir + "/big.tif";
    png = dir + "/big.png";
    jpeg = dir + "/big.jpg";
    Image img{};
    image_allocate(&img, Rgb32, kWidth, kHeight, 0, nullptr, 0, 0);
    std::mt19937 rng(11);
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * 3);
    TIFF* t = TIFFOpen(tiff.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = img.pixels + static_cast<size_t>(y) * img.stride;
      for (int32_t x = 0; x < kWidth; ++x) {
        const uint32_t noise = rng() & 3;
        row[x * 4] = rgb[x * 3] = static_cast<uint8_t>(x / 16 + noise);
        row[x * 4 + 1] = rgb[x * 3 + 1] = static_cast<uint8_t>(y / 12 + (x >> 9));
        row[x * 4 + 2] = rgb[x * 3 + 2] = static_cast<uint8_t>((x + y) / 28 + (noise >> 1));
        row[x * 4 + 3] = 0;
      }
      TIFFWriteScanline(t, rgb.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(t);
    save_png(&img, png.c_str(), 0, 0);
    save_jpeg(&img, jpeg.c_str(), 90, 0, 0);
    image_free(&img);
  }
  ~Files() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

const Files& files() {
  static const Files f;
  return f;
}

void set_bytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

bool tiff_ours(const std::string& path) {
  Image img{};
  TiffDescription d{};
  const bool ok = read_tiff(&d, &img, path.c_str()) == 1;
  benchmark::DoNotOptimize(img.pixels);
  image_free(&img);
  return ok;
}

bool tiff_libtiff(const std::string& path) {
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (!t) return false;
  const tmsize_t strip_size = TIFFStripSize(t);
  const uint32_t strips = TIFFNumberOfStrips(t);
  auto* out = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(strip_size) * strips));
  bool ok = out != nullptr;
  for (uint32_t s = 0; ok && s < strips; ++s) {
    ok = TIFFReadEncodedStrip(t, s, out + static_cast<size_t>(strip_size) * s, strip_size) >= 0;
  }
  benchmark::DoNotOptimize(out);
  std::free(out);
  TIFFClose(t);
  return ok;
}

void BM_TiffLzw_Ours(benchmark::State& state) {
  const std::string& path = files().tiff;
  for (auto _ : state) {
    if (!tiff_ours(path)) state.SkipWithError("read failed");
  }
  set_bytes(state);
}

void BM_TiffLzw_Libtiff(benchmark::State& state) {
  const std::string& path = files().tiff;
  for (auto _ : state) {
    if (!tiff_libtiff(path)) state.SkipWithError("read failed");
  }
  set_bytes(state);
}

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// libtiff's time over ours for each of `rounds` back-to-back pairs, sorted.
std::vector<double> paired_tiff_ratios(int rounds) {
  const std::string& path = files().tiff;
  std::vector<double> ratios;
  for (int r = 0; r < rounds; ++r) {
    const double t0 = cpu_seconds();
    const bool ours_ok = tiff_ours(path);
    const double t1 = cpu_seconds();
    const bool theirs_ok = tiff_libtiff(path);
    const double t2 = cpu_seconds();
    if (!ours_ok || !theirs_ok || t1 <= t0) return {};
    ratios.push_back((t2 - t1) / (t1 - t0));
  }
  std::sort(ratios.begin(), ratios.end());
  return ratios;
}

// Console output as usual, plus each run's throughput kept for the closing ratio.
class RateKeeper : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

void BM_Png_Ours(benchmark::State& state) {
  const std::string& path = files().png;
  for (auto _ : state) {
    Image img{};
    float res[2];
    if (!read_png(res, &img, path.c_str(), nullptr)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(img.pixels);
    image_free(&img);
  }
  set_bytes(state);
}

// The same rows as ours (RGB plus a filler byte), read row by row with no checks of our own.
void BM_Png_BareLoop(benchmark::State& state) {
  const std::string& path = files().png;
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const size_t stride = png_get_rowbytes(png, info);
    auto* out = static_cast<uint8_t*>(std::malloc(stride * kHeight));
    for (int32_t y = 0; y < kHeight; ++y) png_read_row(png, out + stride * y, nullptr);
    benchmark::DoNotOptimize(out);
    std::free(out);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
  }
  set_bytes(state);
}

void BM_Jpeg_Ours(benchmark::State& state) {
  const std::string& path = files().jpeg;
  for (auto _ : state) {
    Image img{};
    if (!read_jpeg(&img, path.c_str(), nullptr, nullptr)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(img.pixels);
    image_free(&img);
  }
  set_bytes(state);
}

// Scan lines in our reader's layout (four bytes a pixel) straight into one buffer.
void BM_Jpeg_BareLoop(benchmark::State& state) {
  const std::string& path = files().jpeg;
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(info.output_width) * 4;
    auto* out = static_cast<uint8_t*>(std::malloc(stride * info.output_height));
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = out + stride * info.output_scanline;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(out);
    std::free(out);
    std::fclose(f);
  }
  set_bytes(state);
}

BENCHMARK(BM_TiffLzw_Ours)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TiffLzw_Libtiff)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Png_Ours)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Png_BareLoop)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Jpeg_Ours)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Jpeg_BareLoop)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateKeeper reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto ours = reporter.rates.find("BM_TiffLzw_Ours/min_time:2.000");
  const auto theirs = reporter.rates.find("BM_TiffLzw_Libtiff/min_time:2.000");
  if (ours == reporter.rates.end() || theirs == reporter.rates.end() || theirs->second <= 0) return 0;
  std::printf("\nTIFF LZW speed, ours against libtiff (goal >= 1.5x):\n");
  std::printf("  runs above:            %.3fx (%.1f against %.1f MiB/s)\n", ours->second / theirs->second,
              ours->second / (1 << 20), theirs->second / (1 << 20));
  const std::vector<double> ratios = paired_tiff_ratios(15);
  if (ratios.empty()) {
    std::printf("  paired rounds: a decode failed\n");
    return 1;
  }
  std::printf("  15 paired rounds:      median %.3fx (lowest %.3fx, highest %.3fx)\n", ratios[ratios.size() / 2],
              ratios.front(), ratios.back());
  return 0;
}
