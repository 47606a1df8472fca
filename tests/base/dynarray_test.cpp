#include "framework/base/dynarray.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/base/error.h"

namespace lumra::base {
namespace {

int compare_ints(const void* key, const void* element) {
  const int a = *static_cast<const int*>(key);
  const int b = *static_cast<const int*>(element);
  return (a > b) - (a < b);
}

class DynArrayTest : public ::testing::Test {
 protected:
  void SetUp() override { array_setup(&a, sizeof(int)); }
  void TearDown() override { array_release(&a); }
  void append(int v) { *static_cast<int*>(array_append(&a)) = v; }
  std::vector<int> walk() {
    std::vector<int> seen;
    uint8_t* at = nullptr;
    while (array_next(&a, &at)) seen.push_back(*reinterpret_cast<int*>(at));
    EXPECT_EQ(at, nullptr);
    return seen;
  }
  DynArray a{};
};

TEST_F(DynArrayTest, GrowsToPowersOfTwoAndShrinksByHalving) {
  for (int i = 0; i < 4; ++i) append(i);
  EXPECT_EQ(a.capacity, 4u);
  append(4);
  EXPECT_EQ(a.capacity, 8u);
  EXPECT_EQ(a.count, 5u);
  EXPECT_EQ(array_remove_at(&a, 0), 1);
  EXPECT_EQ(a.capacity, 4u) << "capacity 8 / 2 >= count 4";
  EXPECT_EQ(walk(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(array_remove_at(&a, 3), 1);
  EXPECT_EQ(a.capacity, 4u) << "4 / 2 < 3 keeps the storage";
  array_remove_at(&a, 0);
  EXPECT_EQ(a.capacity, 2u);
  array_remove_at(&a, 0);
  EXPECT_EQ(a.capacity, 1u);
  array_remove_at(&a, 0);
  EXPECT_EQ(a.count, 0u);
  EXPECT_EQ(a.capacity, 1u) << "removing the last element leaves capacity 1";
  EXPECT_NE(a.data, nullptr);
  EXPECT_EQ(array_remove_at(&a, 0), 0);
}

TEST_F(DynArrayTest, AppendedElementsAreZeroEvenWhenStorageIsReused) {
  append(7);
  append(9);
  array_remove_at(&a, 1);  // capacity stays 2; the slot still holds 9
  EXPECT_EQ(*static_cast<int*>(array_append(&a)), 0);
}

TEST_F(DynArrayTest, WalkVisitsEachElementOnceAndEmptyWalkLeavesCursorNull) {
  EXPECT_TRUE(walk().empty());
  const int values[] = {5, 6, 7};
  ASSERT_EQ(array_append_many(&a, values, 3), 1);
  EXPECT_EQ(walk(), (std::vector<int>{5, 6, 7}));
}

TEST_F(DynArrayTest, ReserveAheadDoesNotExposeUnusedStorageToTheWalk) {
  append(1);
  ASSERT_EQ(array_reserve(&a, 100), 1);
  EXPECT_EQ(a.capacity, 128u);
  EXPECT_EQ(walk(), (std::vector<int>{1}));
}

TEST_F(DynArrayTest, RemovingUnderTheCursorSkipsTheElementThatMovesIn) {
  for (int i = 0; i < 4; ++i) append(i);
  std::vector<int> seen;
  uint8_t* at = nullptr;
  while (array_next(&a, &at)) {
    const int v = *reinterpret_cast<int*>(at);
    seen.push_back(v);
    if (v == 1) array_remove(&a, at);
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 3}));
}

TEST_F(DynArrayTest, FailuresSayWhyAndEndingAWalkIsNone) {
  append(1);
  int foreign = 0;
  clear_error();
  EXPECT_EQ(array_remove(&a, &foreign), 0);
  EXPECT_STREQ(last_error(), "not an element of the array");
  clear_error();
  EXPECT_EQ(array_remove_at(&a, 1), 0);
  EXPECT_STREQ(last_error(), "no element at that index");
  clear_error();
  EXPECT_EQ(array_append_many(&a, &foreign, UINT32_MAX), 0);
  EXPECT_STREQ(last_error(), "array full");
  clear_error();
  EXPECT_EQ(walk(), std::vector<int>{1});
  EXPECT_EQ(array_find(&a, &foreign, compare_ints), nullptr);
  EXPECT_STREQ(last_error(), "") << "the end of a walk and a search without match are answers";
}

TEST_F(DynArrayTest, IndexOfRejectsForeignAndMisalignedPointers) {
  for (int i = 0; i < 3; ++i) append(i);
  EXPECT_EQ(array_index_of(&a, a.data + 2 * sizeof(int)), 2);
  EXPECT_EQ(array_index_of(&a, a.data + 1), -1) << "middle of an element";
  EXPECT_EQ(array_index_of(&a, a.data + 3 * sizeof(int)), -1) << "past the count";
  EXPECT_EQ(array_index_of(&a, nullptr), -1);
  int other = 0;
  EXPECT_EQ(array_remove(&a, &other), 0);
}

TEST_F(DynArrayTest, FindSortAndSortedSearch) {
  const int values[] = {30, 10, 20};
  array_append_many(&a, values, 3);
  const int key = 20;
  EXPECT_EQ(array_find(&a, &key, nullptr), array_at(&a, 2)) << "byte comparison";
  EXPECT_EQ(array_find(&a, &key, compare_ints), array_at(&a, 2));
  const int missing = 15;
  EXPECT_EQ(array_find(&a, &missing, compare_ints), nullptr);
  EXPECT_EQ(a.count, 3u);
  array_sort(&a, compare_ints);
  EXPECT_EQ(walk(), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(array_search_sorted(&a, &key, compare_ints), array_at(&a, 1));
  EXPECT_EQ(array_search_sorted(&a, &missing, compare_ints), nullptr);
}

TEST(DynArray, NotSetUpFailsEverything) {
  DynArray a{};
  clear_error();
  EXPECT_EQ(array_append(&a), nullptr);
  EXPECT_STREQ(last_error(), "array not set up");
  clear_error();
  EXPECT_EQ(array_reserve(&a, 4), 0);
  EXPECT_STREQ(last_error(), "array not set up");
  clear_error();
  EXPECT_EQ(array_remove_at(&a, 0), 0);
  EXPECT_STREQ(last_error(), "array not set up");
  uint8_t* at = nullptr;
  EXPECT_EQ(array_next(&a, &at), 0);
  DynArray b{};
  array_setup(&b, 8);
  array_append(&b);
  array_release(&b);
  EXPECT_EQ(b.element_size, 0u) << "release undoes set-up";
  EXPECT_EQ(array_append(&b), nullptr);
}

}  // namespace
}  // namespace lumra::base
