#include "framework/base/packed.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/heap.h"

namespace lumra::base {
namespace {

std::vector<uint8_t> header(uint32_t magic, uint32_t packed, uint32_t expanded, uint8_t method) {
  std::vector<uint8_t> h(16, 0);
  store_u32le(h.data(), magic);
  store_u32le(h.data() + 4, packed);
  store_u32le(h.data() + 8, expanded);
  h[13] = method;
  return h;
}

TEST(PackedHeader, BoundsDecideValidity) {
  struct Case {
    const char* name;
    uint32_t magic, packed, expanded;
    bool valid;
  } cases[] = {
      {"ordinary", kPackedMagic, 100, 200, true},
      {"wrong magic", kPackedMagic + 1, 100, 200, false},
      {"packed length of a bare header", kPackedMagic, 16, 200, false},
      {"packed length 17", kPackedMagic, 17, 34, true},
      {"expanded 16", kPackedMagic, 17, 16, false},
      {"expanded - 16 equals packed", kPackedMagic, 100, 116, false},
      {"expanded - 16 just above packed", kPackedMagic, 100, 117, true},
      {"expanded at the limit", kPackedMagic, 100, kPackedMaxExpanded, false},
      {"expanded below the limit", kPackedMagic, 100, kPackedMaxExpanded - 1, true},
  };
  for (const auto& c : cases) {
    auto h = header(c.magic, c.packed, c.expanded, kPackedLzw);
    PackedHeader parsed{};
    EXPECT_EQ(packed_header_parse(h.data(), h.size(), &parsed), c.valid) << c.name;
  }
  auto h = header(kPackedMagic, 100, 200, kPackedLzw);
  PackedHeader parsed{};
  EXPECT_FALSE(packed_header_parse(h.data(), 15, &parsed)) << "fewer than 16 bytes";
  EXPECT_FALSE(packed_header_parse(nullptr, 16, &parsed));
}

TEST(PackedBlock, EncodeRefusesWhatItCannotShrinkEnough) {
  std::vector<uint8_t> noise(1000);
  uint32_t x = 12345;
  for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
  uint32_t size = 0;
  EXPECT_EQ(packed_encode(noise.data(), 1000, kPackedRunLength, &size), nullptr);
  std::vector<uint8_t> zeros(33, 0);
  EXPECT_EQ(packed_encode(zeros.data(), 33, kPackedRunLength, &size), nullptr) << "too small for a block";
  EXPECT_EQ(packed_encode(zeros.data(), 33, 7, &size), nullptr) << "unknown method";
  std::vector<uint8_t> more(4000, 'a');
  uint8_t* block = packed_encode(more.data(), 4000, kPackedRunLength, &size);
  ASSERT_NE(block, nullptr);
  PackedHeader parsed{};
  ASSERT_TRUE(packed_header_parse(block, size, &parsed));
  EXPECT_EQ(parsed.packed_length, size);
  EXPECT_EQ(parsed.expanded_length, 4000u);
  std::vector<uint8_t> out(4000);
  EXPECT_TRUE(packed_decode(parsed, block, out.data()));
  EXPECT_EQ(out, more);
  heap_free(block);
}

TEST(PackedBlock, UnknownMethodDoesNotDecode) {
  auto h = header(kPackedMagic, 40, 400, 2);
  h.resize(40, 0);
  PackedHeader parsed{};
  ASSERT_TRUE(packed_header_parse(h.data(), h.size(), &parsed));
  EXPECT_FALSE(packed_expansion_plausible(parsed));
  std::vector<uint8_t> out(400);
  EXPECT_FALSE(packed_decode(parsed, h.data(), out.data()));
}

}  // namespace
}  // namespace lumra::base
