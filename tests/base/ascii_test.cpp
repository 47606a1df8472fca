// Case-blind comparison of ASCII letters only.
#include "framework/base/ascii.h"

#include <gtest/gtest.h>

namespace lumra::base {
namespace {

TEST(Ascii, EqualIgnoringCase) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } const cases[] = {
      {".png", ".PNG", true},        {".Jpeg", ".jPEG", true},     {"", "", true},
      {".tif", ".tiff", false},      {".png", ".pnh", false},      {"@[`{", "@[`{", true},
      {"@", "`", false},             // neighbours of the letters are not letters
      {"[", "{", false},
      {"caf\xC3\xA9", "CAF\xC3\xA9", true},   // bytes above 127 stay as they are...
      {"\xC3\xA9", "\xC3\x89", false},         // ...so é is not É
  };
  for (const Case& c : cases) EXPECT_EQ(equal_ignoring_case(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

}  // namespace
}  // namespace lumra::base
