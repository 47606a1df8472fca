// Pages and heap trimming from the system.
#include "platform/system/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace lumra::sys {
namespace {

TEST(Memory, PagesComeZeroedAndWritable) {
  const size_t size = 3 * 4096 + 17;
  auto* p = static_cast<uint8_t*>(allocate_pages(size));
  ASSERT_NE(p, nullptr);
  for (size_t i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << i;
  p[0] = 1;
  p[size - 1] = 2;
  EXPECT_EQ(p[0] + p[size - 1], 3);
  release_pages(p, size);
}

TEST(Memory, NothingAskedNothingGiven) {
  EXPECT_EQ(allocate_pages(0), nullptr);
  release_pages(nullptr, 4096);  // ignored
}

TEST(Memory, TrimmingTheHeapKeepsItUsable) {
  void* kept = std::malloc(1 << 20);
  ASSERT_NE(kept, nullptr);
  std::free(std::malloc(8 << 20));
  trim_heap();
  std::free(kept);
  void* again = std::malloc(64);
  EXPECT_NE(again, nullptr);
  std::free(again);
}

}  // namespace
}  // namespace lumra::sys
