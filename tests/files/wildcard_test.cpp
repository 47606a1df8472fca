// DOS wildcard rules and the member name matcher, as case tables.
#include "framework/files/wildcard.h"

#include <gtest/gtest.h>

namespace lumra::files {
namespace {

struct Case {
  const char* pattern;
  const char* text;
  bool match;
};

TEST(Wildcard, Compare) {
  const Case cases[] = {
      {"", "", true},          {"*", "", true},          {"*", "anything", true},
      {"a*", "xyz", false},    {"ABC", "abc", true},     {"abc", "abd", false},
      {"a?c", "abc", true},    {"a?", "a", true},        {"a??", "a", true},
      {"a?b", "a", false},     {"", "a", false},         {"a", "", false},
      {"ab", "abc", false},    {".*", ".txt", true},     {".", ".", true},
      {"", ".", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.text);
    EXPECT_EQ(wildcard_compare(c.pattern, c.text), c.match ? 0 : 1);
  }
}

TEST(Wildcard, DosNameMatch) {
  const Case cases[] = {
      {"*.*", "readme", true},     {"*.*", "a.b.c", true},   {"*.*", ".profile", true},
      {"*", "readme", true},       {"*", "readme.txt", false}, {"*.", "readme", true},
      {"*.", "readme.txt", false}, {"*.TXT", "a.txt", true},   {"a?.txt", "ab.txt", true},
      {"a?.txt", "a.txt", true},   {"a?.txt", "abc.txt", false}, {"name.txt", "NAME.TXT", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.text);
    EXPECT_EQ(dos_name_match(c.pattern, c.text), c.match);
  }
}

TEST(Wildcard, MemberNameMatcher) {
  const Case cases[] = {
      {"*.*", "a\\b\\c.txt", true},         // no pattern folder: any folder
      {"*", "readme", true},
      {"*", "readme.txt", false},
      {"docs\\*.txt", "docs\\a.txt", true},
      {"docs\\*.txt", "docs\\sub\\a.txt", false},  // folders compare whole
      {"docs\\*.txt", "a.txt", false},
      {"DOCS/*.TXT", "docs\\A.txt", true},       // either separator, any case
      {"\\*.txt", "a.txt", true},                // "\" accepts a name without folder
      {"\\*.txt", "x\\a.txt", false},
      {"C:*.*", "c:a.b", true},
      {"C:*.*", "D:a.b", false},
      {"*.t?t", "a.txt", true},
      {"a*\\*.*", "abc\\x.y", false},            // folders take no wildcards
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.text);
    EXPECT_EQ(member_name_match(c.pattern, c.text) == 0, c.match);
  }
}

}  // namespace
}  // namespace lumra::files
