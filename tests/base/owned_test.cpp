#include "framework/base/owned.h"

#include <gtest/gtest.h>

namespace lumra::base {
namespace {

int g_released = 0;
int g_last = 0;
void count_release(int handle) { ++g_released, g_last = handle; }
using Counted = Owned<int, count_release, -1>;

TEST(Owned, ReleasesOnceWhateverPathTheOwnerTakes) {
  g_released = 0;
  {
    Counted a(3);
    Counted b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    Counted c(7);
    c = std::move(b);  // 7 released here, 3 moves into c
    EXPECT_EQ(g_released, 1);
    EXPECT_EQ(g_last, 7);
  }
  EXPECT_EQ(g_released, 2);
  EXPECT_EQ(g_last, 3);

  Counted kept(5);
  EXPECT_EQ(kept.release_ownership(), 5);
  EXPECT_FALSE(kept);
  EXPECT_EQ(g_released, 2) << "given-up handles are not released";
}

TEST(Owned, HeapBlockReturnsItsBytes) {
  const size_t before = heap_stats(heap_current()).bytes_in_use;
  {
    HeapBlock block(heap_alloc(4096));
    ASSERT_TRUE(block);
    EXPECT_EQ(heap_stats(heap_current()).bytes_in_use, before + 4096);
  }
  EXPECT_EQ(heap_stats(heap_current()).bytes_in_use, before);
}

TEST(Owned, FileCloseReportsTheResult) {
  OwnedFile f(std::tmpfile());
  ASSERT_TRUE(f);
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(f);
  EXPECT_TRUE(f.close()) << "closing nothing succeeds";
}

TEST(Owned, ReceiveReleasesWhatItHeldBeforeTakingANewHandle) {
  g_released = 0;
  Counted c(4);
  int* place = c.receive();
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(g_last, 4);
  EXPECT_FALSE(c);
  *place = 9;  // as a call handing a handle back through a pointer does
  EXPECT_EQ(c.get(), 9);
}

TEST(Owned, DescriptorCloseReportsTheResult) {
  OwnedDescriptor d(sys::kNoDescriptor);
  EXPECT_FALSE(d);
  EXPECT_TRUE(sys::ok(d.close())) << "closing nothing succeeds";
  ASSERT_TRUE(sys::ok(sys::open_folder(".", sys::Links::kFollow, d.receive())));
  EXPECT_TRUE(d);
  EXPECT_TRUE(sys::ok(d.close()));
  EXPECT_FALSE(d);
}

}  // namespace
}  // namespace lumra::base
