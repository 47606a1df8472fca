// Shared by the run-length and LZW tests: sample inputs of any size from a fixed seed (so a
// failure repeats), output buffers with guard bytes, and the round-trip check both codecs pass.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lumra::base::test_support {

enum class SampleKind { kText, kImage, kAllEqual, kRandom };
inline constexpr SampleKind kAllSampleKinds[] = {SampleKind::kText, SampleKind::kImage, SampleKind::kAllEqual,
                                                 SampleKind::kRandom};
inline constexpr size_t kRoundTripSizes[] = {0, 1, 2, 3, 127, 128, 129, 16384, size_t{1} << 20};

inline const char* sample_name(SampleKind kind) {
  switch (kind) {
    case SampleKind::kText: return "text";
    case SampleKind::kImage: return "image";
    case SampleKind::kAllEqual: return "all-equal";
    case SampleKind::kRandom: return "random";
  }
  return "?";
}

inline std::vector<uint8_t> make_sample(SampleKind kind, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  std::mt19937 rng(12345);
  switch (kind) {
    case SampleKind::kText: {
      static const char* const kWords[] = {"the",   "of",    "and",  "archive", "window", "to",    "a",
                                           "block", "image", "heap", "stream",  "in",     "is",    "for",
                                           "code",  "with",  "run",  "length",  "table",  "pixel", "that"};
      while (out.size() < size) {
        const std::string word = kWords[rng() % std::size(kWords)];
        out.insert(out.end(), word.begin(), word.end());
        const uint32_t r = rng() % 16;
        out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
      }
      out.resize(size);
      break;
    }
    case SampleKind::kImage: {
      // 320-pixel rows: a flat band, a slow gradient, then a light area with sparse noise.
      for (size_t i = 0; i < size; ++i) {
        const size_t row = i / 320;
        const size_t x = i % 320;
        uint8_t v;
        if (x < 100) {
          v = static_cast<uint8_t>(16 * (row / 32));
        } else if (x < 220) {
          v = static_cast<uint8_t>((x - 100) / 3 + row / 8);
        } else {
          v = rng() % 16 == 0 ? static_cast<uint8_t>(rng()) : 200;
        }
        out.push_back(v);
      }
      break;
    }
    case SampleKind::kAllEqual:
      out.assign(size, 0x5A);
      break;
    case SampleKind::kRandom:
      for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(rng() >> 24));
      break;
  }
  return out;
}

// An output buffer of `capacity` bytes followed by guard bytes that must stay untouched.
struct GuardedBuffer {
  static constexpr size_t kGuard = 32;
  static constexpr uint8_t kGuardByte = 0xA5;

  explicit GuardedBuffer(size_t size) : capacity(size), bytes(size + kGuard, kGuardByte) {}
  uint8_t* data() { return bytes.data(); }
  bool guard_intact() const {
    for (size_t i = capacity; i < bytes.size(); ++i) {
      if (bytes[i] != kGuardByte) return false;
    }
    return true;
  }
  std::vector<uint8_t> first(size_t n) const { return {bytes.begin(), bytes.begin() + static_cast<long>(n)}; }

  size_t capacity;
  std::vector<uint8_t> bytes;
};

struct Codec {
  bool (*encode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*);
  bool (*decode)(const uint8_t*, size_t, uint8_t*, size_t, size_t*);
  size_t (*encode_bound)(size_t);
  uint64_t (*max_expansion)(size_t);
};

// Encodes into exactly the bound (so an encoder overrunning it trips the sanitizer), then
// decodes into exactly the input size.
inline void expect_round_trip(const Codec& codec, const std::vector<uint8_t>& input) {
  const size_t bound = codec.encode_bound(input.size());
  std::vector<uint8_t> encoded(bound);
  size_t encoded_size = 0;
  ASSERT_TRUE(codec.encode(input.data(), input.size(), encoded.data(), bound, &encoded_size));
  ASSERT_LE(encoded_size, bound);
  EXPECT_GE(codec.max_expansion(encoded_size), input.size());
  const std::vector<uint8_t> code(encoded.begin(), encoded.begin() + static_cast<long>(encoded_size));

  std::vector<uint8_t> decoded(input.size());
  size_t written = 0;
  ASSERT_TRUE(codec.decode(code.data(), code.size(), decoded.data(), decoded.size(), &written));
  ASSERT_EQ(written, input.size());
  ASSERT_TRUE(decoded == input);
}

inline void expect_round_trips(const Codec& codec) {
  for (const SampleKind kind : kAllSampleKinds) {
    for (const size_t size : kRoundTripSizes) {
      SCOPED_TRACE(std::string(sample_name(kind)) + " x " + std::to_string(size));
      expect_round_trip(codec, make_sample(kind, size));
    }
  }
}

}  // namespace lumra::base::test_support
