// Run-length code: the control-byte rules, failures that keep what fits without writing past
// the capacity, the encoder's run choices, its bounds, and round trips over sample data.
#include "framework/base/rle.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "tests/base/codec_test_support.h"

namespace lumra::base {
namespace {

using test_support::GuardedBuffer;
using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes fill(size_t n, uint8_t v) { return Bytes(n, v); }
Bytes counting(size_t n, uint8_t first = 0) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + i);
  return out;
}

struct DecodeCase {
  const char* name;
  Bytes input;
  size_t capacity;
  bool ok;
  Bytes expected;  // what lands in the output, success or not
};

TEST(RleDecode, Cases) {
  const DecodeCase cases[] = {
      {"empty input", {}, 8, true, {}},
      {"control 0 copies one byte", {0x00, 'z'}, 8, true, {'z'}},
      {"control 255 repeats twice", {0xFF, 'a'}, 8, true, fill(2, 'a')},
      {"control 128 repeats 129 times", {0x80, 'b'}, 200, true, fill(129, 'b')},
      {"control 127 copies 128 bytes", cat({{0x7F}, counting(128)}), 200, true, counting(128)},
      {"literal and repeat mix",
       {0x02, 'a', 'b', 'c', /*repeat 3*/ 0xFE, 'x', 0x00, 'z'}, 16, true, {'a', 'b', 'c', 'x', 'x', 'x', 'z'}},
      {"exactly sized output", {0xFE, 'x', 0x01, 'a', 'b'}, 5, true, {'x', 'x', 'x', 'a', 'b'}},
      {"full output ends the decode, rest of input ignored", {0x01, 'a', 'b', 0xFF, 'c'}, 2, true, {'a', 'b'}},
      {"zero capacity with input", {0x00, 'a'}, 0, true, {}},
      {"repeat passes capacity", {0x01, 'a', 'b', 0xFE, 'x'}, 4, false, {'a', 'b', 'x', 'x'}},
      {"literal passes capacity", {0x03, 'a', 'b', 'c', 'd'}, 2, false, {'a', 'b'}},
      {"literal cut short by input", {0xFF, 'q', 0x03, 'a', 'b'}, 16, false, {'q', 'q', 'a', 'b'}},
      {"control byte alone at the end", {0x00, 'a', 0x05}, 16, false, {'a'}},
      {"repeat lacks its byte", {0x00, 'a', 0xF0}, 16, false, {'a'}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer out(c.capacity);
    size_t written = 12345;
    EXPECT_EQ(rle_decode(c.input.data(), c.input.size(), out.data(), c.capacity, &written), c.ok);
    EXPECT_EQ(written, c.expected.size());
    EXPECT_EQ(out.first(written), c.expected);
    EXPECT_TRUE(out.guard_intact());
  }
}

struct EncodeCase {
  const char* name;
  Bytes input;
  Bytes expected;
};

TEST(RleEncode, RunChoices) {
  const EncodeCase cases[] = {
      {"empty", {}, {}},
      {"single byte", {'a'}, {0x00, 'a'}},
      {"three equal stay literal", fill(3, 'a'), {0x02, 'a', 'a', 'a'}},
      {"four equal become a run", fill(4, 'a'), {0xFD, 'a'}},
      {"run between literals", {'a', 'b', 'c', 'c', 'c', 'c', 'd'}, {0x01, 'a', 'b', 0xFD, 'c', 0x00, 'd'}},
      {"three equal inside a literal", {'a', 'b', 'b', 'b', 'c'}, {0x04, 'a', 'b', 'b', 'b', 'c'}},
      {"127 equal is one run", fill(127, 'r'), {0x82, 'r'}},
      {"128 equal: run of 127 and a literal", fill(128, 'r'), {0x82, 'r', 0x00, 'r'}},
      {"131 equal: two runs", fill(131, 'r'), {0x82, 'r', 0xFD, 'r'}},
      {"300 equal: 127 + 127 + 46", fill(300, 'r'), {0x82, 'r', 0x82, 'r', 0xD3, 'r'}},
      {"128 distinct: one literal", counting(128), cat({{0x7F}, counting(128)})},
      {"129 distinct: literal split at 128", counting(129), cat({{0x7F}, counting(128), {0x00, 128}})},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(rle_encode_bound(c.input.size()));
    size_t written = 0;
    ASSERT_TRUE(rle_encode(c.input.data(), c.input.size(), out.data(), out.size(), &written));
    out.resize(written);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(RleEncode, FailsWhenTheCodeDoesNotFitAndWritesNothingPastIt) {
  struct Case {
    Bytes input;
    size_t fitting_capacity;  // the exact code size
  };
  const Case cases[] = {{fill(4, 'a'), 2}, {{'a', 'b', 'c'}, 4}, {cat({counting(5), fill(10, 'x'), counting(3)}), 12}};
  for (const Case& c : cases) {
    for (size_t capacity = 0; capacity <= c.fitting_capacity; ++capacity) {
      SCOPED_TRACE(capacity);
      GuardedBuffer out(capacity);
      size_t written = 999;
      const bool ok = rle_encode(c.input.data(), c.input.size(), out.data(), capacity, &written);
      EXPECT_EQ(ok, capacity == c.fitting_capacity);
      EXPECT_EQ(written, ok ? c.fitting_capacity : 0u);
      EXPECT_TRUE(out.guard_intact());
    }
  }
}

TEST(Rle, Bounds) {
  EXPECT_EQ(rle_encode_bound(0), 0u);
  EXPECT_EQ(rle_encode_bound(1), 2u);
  EXPECT_EQ(rle_encode_bound(128), 129u);
  EXPECT_EQ(rle_encode_bound(129), 131u);
  EXPECT_EQ(rle_encode_bound(SIZE_MAX), SIZE_MAX) << "saturates";

  EXPECT_EQ(rle_max_expansion(0), 0u);
  EXPECT_EQ(rle_max_expansion(1), 0u);
  EXPECT_EQ(rle_max_expansion(2), 129u);
  EXPECT_EQ(rle_max_expansion(5), 258u);
  // The bound is reached: back-to-back runs of 129.
  const Bytes densest = {0x80, 1, 0x80, 2, 0x80, 3};
  Bytes out(1000);
  size_t written = 0;
  ASSERT_TRUE(rle_decode(densest.data(), densest.size(), out.data(), out.size(), &written));
  EXPECT_EQ(written, rle_max_expansion(densest.size()));
}

TEST(Rle, RoundTrips) {
  test_support::expect_round_trips({rle_encode, rle_decode, rle_encode_bound, rle_max_expansion});
}

}  // namespace
}  // namespace lumra::base
