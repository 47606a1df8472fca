#include "framework/base/error.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace lumra::base {
namespace {

int returns_int() { return fail("int failure"); }
bool returns_bool() { return failf("bool failure %d", 7); }
const char* returns_pointer() { return fail("pointer failure"); }
uint32_t returns_unsigned() { return fail("unsigned failure"); }

TEST(Error, FailGivesTheFailureValueOfEachReturnTypeAndKeepsTheReason) {
  EXPECT_EQ(returns_int(), 0);
  EXPECT_STREQ(last_error(), "int failure");
  EXPECT_FALSE(returns_bool());
  EXPECT_STREQ(last_error(), "bool failure 7");
  EXPECT_EQ(returns_pointer(), nullptr);
  EXPECT_EQ(returns_unsigned(), 0u);
  EXPECT_STREQ(last_error(), "unsigned failure");
  clear_error();
  EXPECT_STREQ(last_error(), "");
}

}  // namespace
}  // namespace lumra::base
