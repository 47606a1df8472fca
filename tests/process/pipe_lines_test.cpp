// Line assembly of the launcher's pipes, fed bytes directly: line ends, overwritten lines,
// 511-character pieces, left-out control characters, the quarter-second rule for incomplete
// lines and what goes out once the program has ended.
#include "framework/process/pipe_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/process/launcher.h"

namespace lumra::process {
namespace {

struct Out {
  int32_t kind;
  std::string text;
  bool operator==(const Out&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Out& o) {
  return out << "(" << o.kind << ", \"" << o.text << "\")";
}

struct Taken {
  std::vector<Out> lines;
  int32_t stop_after = -1;  // the handler answers false for the line with this index
};

bool take(const char* text, int32_t kind, void* data) {
  Taken& t = *static_cast<Taken*>(data);
  t.lines.push_back({kind, text});
  return static_cast<int32_t>(t.lines.size()) - 1 != t.stop_after;
}

bool feed(PipeLines* p, const std::string& bytes, uint32_t now, Taken* t) {
  for (const char c : bytes) {
    if (!take_byte(p, static_cast<uint8_t>(c), now, take, t)) return false;
  }
  return true;
}

TEST(PipeLines, BytesIntoLines) {
  const std::string x511(511, 'x');
  struct Case {
    const char* name;
    Stream stream;
    std::string bytes;
    std::vector<Out> expected;  // after the bytes and no_more_bytes at the same moment
  };
  const Case cases[] = {
      {"line feeds end lines", Stream::kOutput, "a\nb\n\n", {{1, "a"}, {1, "b"}, {1, ""}}},
      {"carriage return and line feed end one line", Stream::kOutput, "a\r\nb\r\n", {{1, "a"}, {1, "b"}}},
      {"overwritten, then kept back for its quarter second", Stream::kOutput, "50%\r60%\r", {{2, "50%"}}},
      {"a carriage return before anything overwrites nothing", Stream::kOutput, "\rabc", {{4, "abc"}}},
      {"control characters are left out",
       Stream::kOutput,
       "a\tb\x01"
       "c\x1b\x7f\n",
       {{1, "abc\x7f"}}},
      {"bytes above 127 are kept", Stream::kOutput, "\xc3\xa9\n", {{1, "\xc3\xa9"}}},
      {"600 characters: 511 and the 89 after them",
       Stream::kOutput,
       std::string(600, 'x') + "\n",
       {{1, x511}, {1, std::string(89, 'x')}}},
      {"exactly 511 and a line feed: one line", Stream::kOutput, x511 + "\n", {{1, x511}}},
      {"exactly 511, carriage return and line feed: one line", Stream::kOutput, x511 + "\r\n", {{1, x511}}},
      {"1022 and a line feed: two pieces", Stream::kOutput, x511 + x511 + "\n", {{1, x511}, {1, x511}}},
      {"a full line overwritten", Stream::kOutput, x511 + "\ry\n", {{2, x511}, {1, "y"}}},
      {"standard error: complete lines only", Stream::kError, "e1\npartial", {{3, "e1"}}},
      {"standard error: a carriage return restarts the line", Stream::kError, "err\rtwo\n", {{3, "two"}}},
      {"standard error: long lines in pieces", Stream::kError, x511 + "yz\n", {{3, x511}, {3, "yz"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PipeLines p;
    pipe_lines_start(&p, c.stream);
    Taken t;
    EXPECT_TRUE(feed(&p, c.bytes, 1000, &t));
    EXPECT_TRUE(no_more_bytes(&p, 1000, take, &t));
    EXPECT_EQ(t.lines, c.expected);
  }
}

TEST(PipeLines, IncompleteLineAfterAQuarterSecondAndOnlyOnce) {
  PipeLines p;
  pipe_lines_start(&p, Stream::kOutput);
  Taken t;
  feed(&p, "50%\r60%\r", 1000, &t);
  ASSERT_EQ(t.lines, (std::vector<Out>{{2, "50%"}}));
  no_more_bytes(&p, 1250, take, &t);
  EXPECT_EQ(t.lines.size(), 1u) << "a quarter second is not more than a quarter second";
  no_more_bytes(&p, 1251, take, &t);
  EXPECT_EQ(t.lines, (std::vector<Out>{{2, "50%"}, {4, "60%"}}));
  no_more_bytes(&p, 5000, take, &t);
  EXPECT_EQ(t.lines.size(), 2u) << "the same incomplete line goes out once";
  feed(&p, "\n", 5000, &t);
  EXPECT_EQ(t.lines.back(), (Out{1, "60%"})) << "its line feed completes it";
  feed(&p, "70", 5000, &t);
  no_more_bytes(&p, 5251, take, &t);
  EXPECT_EQ(t.lines.back(), (Out{4, "70"})) << "the quarter second counts from the complete line";
}

TEST(PipeLines, QuarterSecondAcrossTheClockWrap) {
  PipeLines p;
  pipe_lines_start(&p, Stream::kOutput);
  Taken t;
  feed(&p, "a\nb", 0xFFFFFFF0u, &t);
  no_more_bytes(&p, 0xEA, take, &t);
  EXPECT_EQ(t.lines.size(), 1u) << "250 ticks later, across the wrap";
  no_more_bytes(&p, 0xEB, take, &t);
  EXPECT_EQ(t.lines.back(), (Out{4, "b"}));
}

TEST(PipeLines, WhatIsLeftWhenTheProgramHasEnded) {
  PipeLines out;
  pipe_lines_start(&out, Stream::kOutput);
  PipeLines err;
  pipe_lines_start(&err, Stream::kError);
  Taken t;
  feed(&out, "done\nlast", 1000, &t);
  feed(&err, "oops", 1000, &t);
  EXPECT_TRUE(last_bytes_read(&out, 1000, take, &t));
  EXPECT_TRUE(last_bytes_read(&err, 1000, take, &t));
  EXPECT_EQ(t.lines, (std::vector<Out>{{1, "done"}, {4, "last"}, {3, "oops"}}))
      << "no quarter second to wait for, and standard error's last line without its line feed";

  PipeLines again;
  pipe_lines_start(&again, Stream::kOutput);
  Taken u;
  feed(&again, "60%", 1000, &u);
  no_more_bytes(&again, 1000, take, &u);
  EXPECT_TRUE(last_bytes_read(&again, 1000, take, &u));
  EXPECT_EQ(u.lines, (std::vector<Out>{{4, "60%"}}))
      << "an incomplete line that went out does not go out again";
}

TEST(PipeLines, HandlerStopsTheReading) {
  PipeLines p;
  pipe_lines_start(&p, Stream::kOutput);
  Taken t;
  t.stop_after = 1;
  EXPECT_FALSE(feed(&p, "a\nb\nc\n", 1000, &t));
  EXPECT_EQ(t.lines, (std::vector<Out>{{1, "a"}, {1, "b"}}));
}

}  // namespace
}  // namespace lumra::process
