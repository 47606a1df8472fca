// LZW: hand-built code streams pin the decoder's width schedule, its KwKwK case and its
// failures; the encoder is checked against the same schedule, its bounds, and by round trips.
#include "framework/base/lzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/base/codec_test_support.h"

namespace lumra::base {
namespace {

using test_support::GuardedBuffer;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;

// MSB-first bit packing, written independently of the codec.
struct CodeWriter {
  Bytes bytes;
  uint64_t bits = 0;
  int count = 0;

  void put(uint32_t code, int width) {
    bits = (bits << width) | code;
    count += width;
    while (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  Bytes finish() {
    if (count > 0) bytes.push_back(static_cast<uint8_t>(bits << (8 - count)));
    count = 0;
    return bytes;
  }
};

struct CodeReader {
  const Bytes& bytes;
  size_t bit = 0;

  bool get(int width, uint32_t* code) {
    if (bit + static_cast<size_t>(width) > bytes.size() * 8) return false;
    uint32_t v = 0;
    for (int i = 0; i < width; ++i, ++bit) v = (v << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
    *code = v;
    return true;
  }
};

// The width the decoder reads the k-th code after a clear with (k = 1 is the first), as the
// format fixes it: 9 bits up to the 254th code, then one more bit each time the next free code
// (257 + k after k codes) plus one reaches a power of two.
int width_of_code(size_t k) {
  if (k <= 254) return 9;
  if (k <= 766) return 10;
  if (k <= 1790) return 11;
  if (k <= 3838) return 12;
  if (k <= 7934) return 13;
  return 14 + (k > 16126);
}

// Writes a list of codes at the widths the decoder expects. The first code is written as a
// clear code whatever its value, which is how the decoder takes it.
Bytes stream_of(const std::vector<uint32_t>& codes) {
  CodeWriter w;
  size_t k = 0;  // codes since the last clear
  for (size_t i = 0; i < codes.size(); ++i) {
    const uint32_t c = codes[i];
    w.put(c, i == 0 ? 9 : width_of_code(k + 1));
    k = (i == 0 || c == kClear) ? 0 : k + 1;
  }
  return w.finish();
}

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

struct DecodeCase {
  const char* name;
  std::vector<uint32_t> codes;
  size_t capacity;
  bool ok;
  Bytes expected;  // what lands in the output, success or not
};

TEST(LzwDecode, Cases) {
  const DecodeCase cases[] = {
      {"literals", {kClear, 'a', 'b', 'c', kEnd}, 16, true, text("abc")},
      {"end right after clear", {kClear, kEnd}, 16, true, {}},
      {"table string", {kClear, 'a', 'b', 258, kEnd}, 16, true, text("abab")},
      {"KwKwK from a literal", {kClear, 'a', 258, 259, kEnd}, 16, true, text("aaaaaa")},
      {"KwKwK from a table string", {kClear, 'a', 'b', 258, 260, kEnd}, 16, true, text("abababa")},
      {"clear mid-stream redefines 258", {kClear, 'a', 'b', kClear, 'b', 'a', 258, kEnd}, 16, true, text("abbaba")},
      {"first code acts as a clear", {'x', 'a', 'b', kEnd}, 16, true, text("ab")},
      {"first code 257 is a clear, not an end", {kEnd, 'a', kEnd}, 16, true, text("a")},
      {"exactly sized output", {kClear, 'a', 'b', 258, kEnd}, 4, true, text("abab")},
      {"code above the next free code", {kClear, 'a', 259, kEnd}, 16, false, text("a")},
      {"next free code right after the first clear", {kClear, 258, kEnd}, 16, false, {}},
      {"next free code right after a clear", {kClear, 'a', kClear, 258, kEnd}, 16, false, text("a")},
      {"missing end code", {kClear, 'a', 'b'}, 16, false, text("ab")},
      {"no input at all", {}, 16, false, {}},
      {"table string passes capacity", {kClear, 'a', 'b', 258, kEnd}, 3, false, text("aba")},
      {"literal passes capacity", {kClear, 'a', 'b', kEnd}, 1, false, text("a")},
      {"KwKwK string passes capacity", {kClear, 'a', 258, 259, kEnd}, 4, false, text("aaaa")},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes in = stream_of(c.codes);
    GuardedBuffer out(c.capacity);
    size_t written = 12345;
    EXPECT_EQ(lzw_decode(in.data(), in.size(), out.data(), c.capacity, &written), c.ok);
    EXPECT_EQ(written, c.expected.size());
    EXPECT_EQ(out.first(written), c.expected);
    EXPECT_TRUE(out.guard_intact());
  }
}

// A chain of KwKwK codes over a mixed string, long enough that the copies span several 16-byte
// moves; each string is the previous one plus its own first byte.
TEST(LzwDecode, LongKwKwKChain) {
  std::vector<uint32_t> codes = {kClear, 'a', 'b', 258};
  std::string expected = "abab";
  std::string previous = "ab";
  for (uint32_t code = 260; code < 300; ++code) {
    codes.push_back(code);
    previous += previous[0];
    expected += previous;
  }
  codes.push_back(kEnd);
  const Bytes in = stream_of(codes);
  GuardedBuffer out(expected.size() + 100);
  size_t written = 0;
  ASSERT_TRUE(lzw_decode(in.data(), in.size(), out.data(), out.capacity, &written));
  EXPECT_EQ(out.first(written), text(expected));
  EXPECT_TRUE(out.guard_intact());
}

// Widths spelled out: 254 codes of 9 bits, 512 of 10, 1024 of 11, then 12 bits, through a
// clear back to 9. A decoder off by one code anywhere reads garbage from there on.
TEST(LzwDecode, WidthGrowsOneCodeEarly) {
  CodeWriter w;
  Bytes expected;
  w.put(kClear, 9);
  for (int k = 1; k <= 1790; ++k) {
    const uint8_t b = static_cast<uint8_t>(k * 7);
    w.put(b, k <= 254 ? 9 : k <= 766 ? 10 : 11);
    expected.push_back(b);
  }
  w.put(258, 12);  // the string of the first two literals
  expected.push_back(7);
  expected.push_back(14);
  w.put(kClear, 12);
  w.put('z', 9);
  expected.push_back('z');
  w.put(kEnd, 9);
  const Bytes in = w.finish();

  Bytes out(expected.size());
  size_t written = 0;
  ASSERT_TRUE(lzw_decode(in.data(), in.size(), out.data(), out.size(), &written));
  EXPECT_EQ(written, expected.size());
  EXPECT_EQ(out, expected);
}

// 9,000 codes without a clear: the table passes its first 8,192 entries and grows. With one
// byte less room the decode fails at the last code, having written all that fits.
TEST(LzwDecode, TableGrowsAndStopsAtTheCapacity) {
  std::vector<uint32_t> codes = {kClear};
  Bytes expected;
  for (int k = 0; k < 9000; ++k) {
    codes.push_back(static_cast<uint32_t>(k % 251));
    expected.push_back(static_cast<uint8_t>(k % 251));
  }
  codes.push_back(8000);  // a 2-byte string defined long ago
  expected.push_back(expected[8000 - 258]);
  expected.push_back(expected[8000 - 258 + 1]);
  codes.push_back(kEnd);
  const Bytes in = stream_of(codes);

  Bytes out(expected.size());
  size_t written = 0;
  ASSERT_TRUE(lzw_decode(in.data(), in.size(), out.data(), out.size(), &written));
  EXPECT_EQ(out, expected);

  GuardedBuffer small(expected.size() - 1);
  EXPECT_FALSE(lzw_decode(in.data(), in.size(), small.data(), small.capacity, &written));
  EXPECT_EQ(written, expected.size() - 1);
  EXPECT_TRUE(small.guard_intact());
}

TEST(LzwDecode, TruncatedStreamsFailAtEveryLength) {
  const Bytes in = stream_of({kClear, 'a', 'b', 258, 260, 'c', kEnd});
  Bytes out(64);
  size_t written = 0;
  ASSERT_TRUE(lzw_decode(in.data(), in.size(), out.data(), out.size(), &written));
  for (size_t n = 0; n < in.size(); ++n) {
    const Bytes cut(in.begin(), in.begin() + static_cast<long>(n));
    EXPECT_FALSE(lzw_decode(cut.data(), cut.size(), out.data(), out.size(), &written)) << n;
  }
}

// ---- The old LSB-first form (TIFF files written before TIFF 6.0) ----

// LSB-first bit packing, written independently of the codec.
struct LsbCodeWriter {
  Bytes bytes;
  uint64_t bits = 0;
  int count = 0;

  void put(uint32_t code, int width) {
    bits |= uint64_t{code} << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  Bytes finish() {
    if (count > 0) bytes.push_back(static_cast<uint8_t>(bits));
    count = 0;
    return bytes;
  }
};

// The k-th code after a clear is read one code later with a wider width than in the MSB-first
// form: 9 bits up to the 255th code, then one more bit each time the next free code (257 + k
// after k codes) reaches a power of two.
int lsb_width_of_code(size_t k) {
  if (k <= 255) return 9;
  if (k <= 767) return 10;
  if (k <= 1791) return 11;
  return 12 + (k > 3839);
}

Bytes lsb_stream_of(const std::vector<uint32_t>& codes) {
  LsbCodeWriter w;
  size_t k = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    const uint32_t c = codes[i];
    w.put(c, i == 0 ? 9 : lsb_width_of_code(k + 1));
    k = (i == 0 || c == kClear) ? 0 : k + 1;
  }
  return w.finish();
}

TEST(LzwDecodeLsbFirst, Cases) {
  const DecodeCase cases[] = {
      {"literals", {kClear, 'a', 'b', 'c', kEnd}, 16, true, text("abc")},
      {"table string", {kClear, 'a', 'b', 258, kEnd}, 16, true, text("abab")},
      {"KwKwK from a table string", {kClear, 'a', 'b', 258, 260, kEnd}, 16, true, text("abababa")},
      {"clear mid-stream redefines 258", {kClear, 'a', 'b', kClear, 'b', 'a', 258, kEnd}, 16, true, text("abbaba")},
      {"code above the next free code", {kClear, 'a', 259, kEnd}, 16, false, text("a")},
      {"missing end code", {kClear, 'a', 'b'}, 16, false, text("ab")},
      {"table string passes capacity", {kClear, 'a', 'b', 258, kEnd}, 3, false, text("aba")},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes in = lsb_stream_of(c.codes);
    GuardedBuffer out(c.capacity);
    size_t written = 12345;
    EXPECT_EQ(lzw_decode_lsb_first(in.data(), in.size(), out.data(), c.capacity, &written), c.ok);
    EXPECT_EQ(written, c.expected.size());
    EXPECT_EQ(out.first(written), c.expected);
    EXPECT_TRUE(out.guard_intact());
  }
  // The same codes packed MSB first are not the same stream.
  const Bytes msb = stream_of({kClear, 'a', 'b', 258, kEnd});
  Bytes out(16);
  size_t written = 0;
  EXPECT_FALSE(lzw_decode_lsb_first(msb.data(), msb.size(), out.data(), out.size(), &written) && written == 4 &&
               Bytes(out.begin(), out.begin() + 4) == text("abab"));
}

// Widths spelled out as for the MSB-first form, each step one code later.
TEST(LzwDecodeLsbFirst, WidthGrowsAtThePowerOfTwo) {
  LsbCodeWriter w;
  Bytes expected;
  w.put(kClear, 9);
  for (int k = 1; k <= 1791; ++k) {
    const uint8_t b = static_cast<uint8_t>(k * 7);
    w.put(b, k <= 255 ? 9 : k <= 767 ? 10 : 11);
    expected.push_back(b);
  }
  w.put(258, 12);
  expected.push_back(7);
  expected.push_back(14);
  w.put(kClear, 12);
  w.put('z', 9);
  expected.push_back('z');
  w.put(kEnd, 9);
  const Bytes in = w.finish();
  Bytes out(expected.size());
  size_t written = 0;
  ASSERT_TRUE(lzw_decode_lsb_first(in.data(), in.size(), out.data(), out.size(), &written));
  EXPECT_EQ(written, expected.size());
  EXPECT_EQ(out, expected);
}

// The KwKwK chain at the LSB-first widths stays within that form's bound and comes close to it;
// the truncated stream fails at every length.
TEST(LzwDecodeLsbFirst, MaxExpansionAndTruncation) {
  for (const size_t n : {size_t{3}, size_t{100}, size_t{1000}, size_t{5000}}) {
    SCOPED_TRACE(n);
    LsbCodeWriter w;
    w.put(kClear, 9);
    size_t bits = 9;
    uint64_t expected = 0;
    for (size_t k = 1;; ++k) {
      const int width = lsb_width_of_code(k);
      if (bits + static_cast<size_t>(width) > n * 8) break;
      w.put(k == 1 ? 'a' : static_cast<uint32_t>(256 + k), width);
      bits += static_cast<size_t>(width);
      expected += k;
    }
    Bytes in = w.finish();
    in.resize(n, 0);
    Bytes out(expected);
    size_t written = 0;
    EXPECT_FALSE(lzw_decode_lsb_first(in.data(), in.size(), out.data(), out.size(), &written));
    EXPECT_EQ(written, expected);
    const uint64_t bound = lzw_lsb_first_max_expansion(n);
    EXPECT_GE(bound, written);
    EXPECT_LE(bound - written, written / 100 + 16);
  }
  const Bytes in = lsb_stream_of({kClear, 'a', 'b', 258, 260, 'c', kEnd});
  Bytes out(64);
  size_t written = 0;
  ASSERT_TRUE(lzw_decode_lsb_first(in.data(), in.size(), out.data(), out.size(), &written));
  for (size_t n = 0; n < in.size(); ++n) {
    EXPECT_FALSE(lzw_decode_lsb_first(in.data(), n, out.data(), out.size(), &written)) << n;
  }
}

TEST(LzwEncode, EmptyInputIsClearAndEnd) {
  Bytes out(lzw_encode_bound(0));
  size_t written = 0;
  ASSERT_TRUE(lzw_encode(nullptr, 0, out.data(), out.size(), &written));
  out.resize(written);
  EXPECT_EQ(out, (Bytes{0x80, 0x40, 0x40}));  // 100000000 100000001, padded with zeros
}

TEST(LzwEncode, RepeatedByteUsesKwKwK) {
  const Bytes in = text("aaaaaa");
  Bytes out(lzw_encode_bound(in.size()));
  size_t written = 0;
  ASSERT_TRUE(lzw_encode(in.data(), in.size(), out.data(), out.size(), &written));
  out.resize(written);
  EXPECT_EQ(out, stream_of({kClear, 'a', 258, 259, kEnd}));
}

// Incompressible bytes fill the table after 1,790 codes; the clear code then goes out at the
// 12 bits the decoder reads by then, and the next run starts at 9 bits again.
TEST(LzwEncode, ClearsAFullTableAtTwelveBits) {
  const Bytes in = test_support::make_sample(test_support::SampleKind::kRandom, 6000);
  Bytes out(lzw_encode_bound(in.size()));
  size_t written = 0;
  ASSERT_TRUE(lzw_encode(in.data(), in.size(), out.data(), out.size(), &written));
  out.resize(written);

  CodeReader r{out};
  uint32_t code = 0;
  ASSERT_TRUE(r.get(9, &code));
  ASSERT_EQ(code, kClear);
  for (int run = 0; run < 2; ++run) {
    for (size_t k = 1; k <= 1790; ++k) {
      ASSERT_TRUE(r.get(width_of_code(k), &code)) << k;
      ASSERT_LT(code, 2047u) << k;
      ASSERT_NE(code, kClear) << k;
    }
    ASSERT_TRUE(r.get(12, &code));
    EXPECT_EQ(code, kClear) << "run " << run;
  }
}

TEST(LzwEncode, FailsWhenTheCodeDoesNotFit) {
  const Bytes in = test_support::make_sample(test_support::SampleKind::kText, 3000);
  Bytes full(lzw_encode_bound(in.size()));
  size_t exact = 0;
  ASSERT_TRUE(lzw_encode(in.data(), in.size(), full.data(), full.size(), &exact));
  for (const size_t capacity : {size_t{0}, size_t{1}, exact / 2, exact - 1, exact}) {
    SCOPED_TRACE(capacity);
    GuardedBuffer out(capacity);
    size_t written = 999;
    const bool ok = lzw_encode(in.data(), in.size(), out.data(), capacity, &written);
    EXPECT_EQ(ok, capacity == exact);
    EXPECT_EQ(written, ok ? exact : 0u);
    EXPECT_TRUE(out.guard_intact());
  }
}

TEST(Lzw, EncodeBoundCoversTheWorstCase) {
  EXPECT_EQ(lzw_encode_bound(0), 3u);
  EXPECT_EQ(lzw_encode_bound(SIZE_MAX), SIZE_MAX) << "saturates";
  // Random bytes are close to the worst case: about one code per byte.
  for (const size_t n : {size_t{1}, size_t{2}, size_t{255}, size_t{1790}, size_t{100000}}) {
    const Bytes in = test_support::make_sample(test_support::SampleKind::kRandom, n);
    Bytes out(lzw_encode_bound(n));
    size_t written = 0;
    EXPECT_TRUE(lzw_encode(in.data(), in.size(), out.data(), out.size(), &written)) << n;
    EXPECT_GE(written * 10, out.size() * 7) << n << ": the bound is far from the real size";
  }
}

// The densest stream is one chain 'a', 258, 259, ... (each code one byte longer than the one
// before). Its output must stay within the bound and come close to it.
TEST(Lzw, MaxExpansionIsReachedByTheKwKwKChain) {
  EXPECT_EQ(lzw_max_expansion(0), 0u);
  EXPECT_EQ(lzw_max_expansion(2), 0u);
  EXPECT_EQ(lzw_max_expansion(3), 1u);
  for (const size_t n : {size_t{3}, size_t{10}, size_t{100}, size_t{1000}, size_t{5000}}) {
    SCOPED_TRACE(n);
    CodeWriter w;
    w.put(kClear, 9);
    size_t bits = 9;
    uint64_t expected = 0;
    for (size_t k = 1;; ++k) {
      const int width = width_of_code(k);
      if (bits + static_cast<size_t>(width) > n * 8) break;
      w.put(k == 1 ? 'a' : static_cast<uint32_t>(256 + k), width);
      bits += static_cast<size_t>(width);
      expected += k;
    }
    Bytes in = w.finish();
    ASSERT_LE(in.size(), n);
    in.resize(n, 0);  // fewer bits than a code: never read as one
    Bytes out(expected);
    size_t written = 0;
    EXPECT_FALSE(lzw_decode(in.data(), in.size(), out.data(), out.size(), &written)) << "no end code";
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 'a'; }));
    const uint64_t bound = lzw_max_expansion(n);
    EXPECT_GE(bound, written);
    EXPECT_LE(bound - written, written / 100 + 16);
  }
}

// Clear codes restart the chain at one byte; no way of splitting a stream into clear-separated
// runs may beat the bound. Exhaustive over run lengths for every size up to 1,000 bytes.
TEST(Lzw, MaxExpansionCoversStreamsWithClears) {
  constexpr size_t kMaxBytes = 1000;
  constexpr size_t kBits = kMaxBytes * 8;
  for (const bool lsb : {false, true}) {
    SCOPED_TRACE(lsb ? "LSB first" : "MSB first");
    // best[b]: most bytes that clear-separated runs can write with b bits, each clear taking the
    // least it can (9 bits).
    std::vector<uint64_t> best(kBits + 1, 0);
    for (size_t b = 0; b <= kBits; ++b) {
      size_t cost = 9;
      uint64_t triangle = 0;
      for (size_t len = 1;; ++len) {
        cost += static_cast<size_t>(lsb ? lsb_width_of_code(len) : width_of_code(len));
        if (cost > b) break;
        triangle += len;
        best[b] = std::max(best[b], triangle + best[b - cost]);
      }
    }
    for (size_t n = 0; n <= kMaxBytes; ++n) {
      ASSERT_GE(lsb ? lzw_lsb_first_max_expansion(n) : lzw_max_expansion(n), best[n * 8]) << n;
    }
  }
}

TEST(Lzw, RoundTrips) {
  test_support::expect_round_trips({lzw_encode, lzw_decode, lzw_encode_bound, lzw_max_expansion});
}

}  // namespace
}  // namespace lumra::base
