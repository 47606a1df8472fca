#include "framework/base/heap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "framework/base/ticks.h"

namespace lumra::base {
namespace {

uint32_t g_fake_now = 0;
uint32_t fake_ticks() { return g_fake_now; }

TEST(Heap, SelectReturnsThePreviousIndex) {
  heap_select(0);
  EXPECT_EQ(heap_select(1), 0);
  EXPECT_EQ(heap_current(), 1);
  EXPECT_EQ(heap_select(0), 1);
  EXPECT_EQ(heap_select(kHeapCount), 0) << "an index outside the table changes nothing";
  EXPECT_EQ(heap_current(), 0);
}

TEST(Heap, ZeroSizesGiveNull) {
  EXPECT_EQ(heap_alloc(0), nullptr);
  EXPECT_EQ(heap_alloc_zeroed(5, 0), nullptr);
  EXPECT_EQ(heap_alloc_zeroed(0, 5), nullptr);
  EXPECT_EQ(heap_alloc_zeroed(SIZE_MAX / 2, 3), nullptr) << "count x size overflow";
}

TEST(Heap, ReallocZeroesOnlyTheAddedBytes) {
  auto* p = static_cast<uint8_t*>(heap_alloc(8));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 8);
  p = static_cast<uint8_t*>(heap_realloc(p, 4));
  ASSERT_NE(p, nullptr);
  p = static_cast<uint8_t*>(heap_realloc(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(heap_block_size(p), 4096u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p[i], 0xAB);
  for (int i = 4; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_EQ(heap_realloc(p, 0), nullptr) << "size 0 frees";
}

TEST(Heap, ReallocOfNullAllocates) {
  void* p = heap_realloc(nullptr, 16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(heap_block_size(p), 16u);
  heap_free(p);
}

TEST(Heap, ZeroedAllocationAndBookkeeping) {
  const HeapStats before = heap_stats(heap_current());
  auto* p = static_cast<uint8_t*>(heap_alloc_zeroed(10, 100));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(heap_stats(heap_current()).bytes_in_use, before.bytes_in_use + 1000);
  heap_free(p);
  EXPECT_EQ(heap_stats(heap_current()).bytes_in_use, before.bytes_in_use);
  EXPECT_EQ(heap_stats(heap_current()).blocks_in_use, before.blocks_in_use);
}

TEST(Heap, CompactionAtMostOncePerFiveSeconds) {
  set_tick_source(fake_ticks);
  heap_select(0);
  g_fake_now = 1000000;
  heap_free(heap_alloc(4));  // compacts: long past the last compaction
  const uint32_t after_first = heap_stats(0).compactions;
  g_fake_now += 5000;
  heap_free(heap_alloc(4));
  EXPECT_EQ(heap_stats(0).compactions, after_first) << "exactly 5000 ms is not more than 5000";
  g_fake_now += 1;
  heap_free(heap_alloc(4));
  EXPECT_EQ(heap_stats(0).compactions, after_first + 1);
  g_fake_now = 0xFFFFFFFFu;  // far ahead, across the wrap next
  heap_free(nullptr);
  EXPECT_EQ(heap_stats(0).compactions, after_first + 2);
  g_fake_now = 0x00000F00u;  // 3841 ms later through the wrap
  heap_free(nullptr);
  EXPECT_EQ(heap_stats(0).compactions, after_first + 2);
  set_tick_source(nullptr);
}

}  // namespace
}  // namespace lumra::base
