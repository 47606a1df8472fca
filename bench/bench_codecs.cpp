// Decoder throughput of the run-length and LZW codecs on about 1 MiB of text-like and of
// image-like data, against memcpy of the same size; ends with each decoder's share of memcpy's
// speed. Synthetic inputs from a fixed seed, so runs compare across commits on one machine.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/base/lzw.h"
#include "framework/base/rle.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kSampleSize = size_t{1} << 20;

// Words with a skewed frequency, like prose: a few very common, many rare.
Bytes make_text() {
  static const char* const kWords[] = {
      "the",    "of",     "and",     "to",      "a",      "in",      "is",      "that",   "for",
      "it",     "with",   "as",      "was",     "on",     "be",      "by",      "this",   "archive",
      "window", "buffer", "picture", "palette", "stream", "record",  "pattern", "browser", "package",
      "folder", "splash", "cursor",  "keyboard", "macro", "process", "console", "format",  "member"};
  std::mt19937 rng(2024);
  Bytes out;
  out.reserve(kSampleSize + 16);
  while (out.size() < kSampleSize) {
    const uint32_t r = rng();
    const size_t n = std::size(kWords);
    const size_t index = (r & 1) ? (r >> 1) % 9 : (r >> 1) % n;  // half the draws from the top nine
    const char* w = kWords[index];
    out.insert(out.end(), w, w + std::strlen(w));
    const uint32_t p = rng() % 20;
    if (p == 0) {
      out.push_back('.');
      out.push_back('\n');
    } else if (p == 1) {
      out.push_back(',');
      out.push_back(' ');
    } else {
      out.push_back(' ');
    }
  }
  out.resize(kSampleSize);
  return out;
}

// 8-bit rows of 1024 pixels: a sky gradient, flat shapes, a horizon with light noise.
Bytes make_image() {
  std::mt19937 rng(7);
  Bytes out(kSampleSize);
  constexpr size_t kWidth = 1024;
  for (size_t i = 0; i < kSampleSize; ++i) {
    const size_t y = i / kWidth;
    const size_t x = i % kWidth;
    uint8_t v;
    if (y < 400) {
      v = static_cast<uint8_t>(40 + y / 4);  // vertical gradient: each row flat
    } else if (x > 200 && x < 420 && y < 800) {
      v = 12;  // a flat building
    } else if (x > 600 && x < 900) {
      v = static_cast<uint8_t>(x / 8 + y / 16);  // a diagonal gradient
    } else {
      v = static_cast<uint8_t>(150 + (rng() % 8 == 0 ? rng() % 6 : 0));  // ground with noise
    }
    out[i] = v;
  }
  return out;
}

struct Sample {
  Bytes plain;
  Bytes rle;
  Bytes lzw;
};

Bytes encode_with(bool (*encode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*), size_t (*bound)(size_t),
                  const Bytes& plain) {
  Bytes out(bound(plain.size()));
  size_t written = 0;
  if (!encode(plain.data(), plain.size(), out.data(), out.size(), &written)) std::abort();
  out.resize(written);
  return out;
}

enum Kind : int64_t { kText, kImage };
constexpr const char* kKindNames[] = {"text", "image"};

const Sample& sample(int64_t kind) {
  static const std::vector<Sample> samples = [] {
    std::vector<Sample> s(2);
    s[kText].plain = make_text();
    s[kImage].plain = make_image();
    for (Sample& x : s) {
      x.rle = encode_with(lumra::base::rle_encode, lumra::base::rle_encode_bound, x.plain);
      x.lzw = encode_with(lumra::base::lzw_encode, lumra::base::lzw_encode_bound, x.plain);
    }
    return s;
  }();
  return samples[static_cast<size_t>(kind)];
}

void bm_memcpy(benchmark::State& state) {
  const Bytes& plain = sample(state.range(0)).plain;
  Bytes out(plain.size());
  for (auto _ : state) {
    std::memcpy(out.data(), plain.data(), plain.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(plain.size()));
}

template <bool (*Decode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*), Bytes Sample::*Code>
void bm_decode(benchmark::State& state) {
  const Sample& s = sample(state.range(0));
  const Bytes& code = s.*Code;
  Bytes out(s.plain.size());
  for (auto _ : state) {
    size_t written = 0;
    if (!Decode(code.data(), code.size(), out.data(), out.size(), &written) || written != out.size()) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  if (out != s.plain) state.SkipWithError("decoded bytes differ");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(s.plain.size()));
  state.counters["code_share"] = static_cast<double>(code.size()) / static_cast<double>(s.plain.size());
}

// Console output as usual, plus each run's throughput kept for the closing ratios.
class RateKeeper : public benchmark::ConsoleReporter {
 public:
  RateKeeper() : ConsoleReporter(OO_None) {}
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

}  // namespace

int main(int argc, char** argv) {
  const char* const decoders[] = {"rle_decode", "lzw_decode"};
  for (const int64_t kind : {kText, kImage}) {
    const std::string suffix = std::string("/") + kKindNames[kind];
    benchmark::RegisterBenchmark(("memcpy" + suffix).c_str(), bm_memcpy)->Arg(kind);
    benchmark::RegisterBenchmark(("rle_decode" + suffix).c_str(), bm_decode<lumra::base::rle_decode, &Sample::rle>)
        ->Arg(kind);
    benchmark::RegisterBenchmark(("lzw_decode" + suffix).c_str(), bm_decode<lumra::base::lzw_decode, &Sample::lzw>)
        ->Arg(kind);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateKeeper reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // Names carry the argument: "memcpy/text/0".
  std::printf("\nDecoder throughput as a share of memcpy's:\n");
  for (const int64_t kind : {kText, kImage}) {
    const std::string suffix = std::string("/") + kKindNames[kind] + "/" + std::to_string(kind);
    const auto anchor = reporter.rates.find("memcpy" + suffix);
    if (anchor == reporter.rates.end() || anchor->second <= 0) continue;
    for (const char* d : decoders) {
      const auto it = reporter.rates.find(d + suffix);
      if (it == reporter.rates.end()) continue;
      std::printf("  %-11s %-6s %8.1f MiB/s  = %.4f x memcpy (%.1f MiB/s)\n", d, kKindNames[kind],
                  it->second / (1 << 20), it->second / anchor->second, anchor->second / (1 << 20));
    }
  }
  return 0;
}
