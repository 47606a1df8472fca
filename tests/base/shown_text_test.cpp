// Shown text: terminal controls, C1 controls and bidirectional controls become escapes, all else
// passes; failure reasons are kept in that form.
#include "framework/base/shown_text.h"

#include <gtest/gtest.h>

#include "framework/base/error.h"

namespace lumra::base {
namespace {

TEST(ShownText, EscapesWhatATerminalWouldActOn) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain.txt", "plain.txt"},
      {"a\x1b]2;t\x07z", "a\\x1B]2;t\\x07z"},
      {"tab\there\nline", "tab\\x09here\\x0Aline"},
      {"del\x7f", "del\\x7F"},
      {"c1 \xc2\x85 \xc2\x9b", "c1 \\u0085 \\u009B"},
      {"raw c1 \x9b" "31m", "raw c1 \\x9B31m"},
      {"rlo \xe2\x80\xae lro \xe2\x80\xad lri \xe2\x81\xa6 alm \xd8\x9c rlm \xe2\x80\x8f",
       "rlo \\u202E lro \\u202D lri \\u2066 alm \\u061C rlm \\u200F"},
      {"\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 \xe2\x82\xac", "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 \xe2\x82\xac"},
      {"latin-1 \xe9t\xe9", "latin-1 \xe9t\xe9"},  // not UTF-8, nothing a terminal acts on
      {"cut \xe2\x80", "cut \xe2\\x80"},
  };
  for (const auto& [text, shown] : cases) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(shown_text(text), shown);
    EXPECT_EQ(shown_text(shown), shown);  // showing twice changes nothing
  }
}

TEST(ShownText, FixedBuffersTakeWholeEscapesOnly) {
  char out[8];
  EXPECT_EQ(shown_text_into("ab\x1b" "cdef", out, 5), 2u);  // "\x1B" would not fit whole
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(shown_text_into("ab\x1b" "cdef", out, sizeof out), 7u);
  EXPECT_STREQ(out, "ab\\x1Bc");
  EXPECT_EQ(shown_text_into("abc", out, sizeof out), 3u);
  EXPECT_STREQ(out, "abc");
}

TEST(ShownText, FailureReasonsAreKeptShown) {
  fail("member \x1b[2J\xe2\x80\xae");
  EXPECT_STREQ(last_error(), "member \\x1B[2J\\u202E");
  failf("%s and %d", "\x07", 5);
  EXPECT_STREQ(last_error(), "\\x07 and 5");
}

}  // namespace
}  // namespace lumra::base
