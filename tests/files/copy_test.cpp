// File copies with times, and range copies forwards and backwards within one stream.
#include "framework/files/copy.h"

#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::Bytes;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

struct Calls {
  std::vector<int64_t> done;
  int64_t abort_at = -1;
};

int record(int64_t done, int64_t total, void* data) {
  auto* c = static_cast<Calls*>(data);
  EXPECT_LE(done, total);
  c->done.push_back(done);
  return done != c->abort_at;
}

Bytes counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
  return b;
}

TEST(CopyRange, MovingUpWithinOneStreamCopiesBackwards) {
  TempDir dir;
  const Bytes original = counting(200);
  write_file(dir / "f", original);
  std::FILE* f = std::fopen((dir / "f").c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(copy_range(f, 50, f, 0, 100, nullptr, nullptr), 1);
  std::fclose(f);
  const Bytes got = read_file(dir / "f");
  EXPECT_TRUE(std::equal(got.begin() + 50, got.begin() + 150, original.begin()));
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 50, original.begin()));
}

TEST(CopyRange, ChunkOrderAndProgress) {
  TempDir dir;
  const size_t n = 57344 * 2 + 1000;
  const Bytes original = counting(n + 30000);
  write_file(dir / "f", original);
  std::FILE* f = std::fopen((dir / "f").c_str(), "rb+");
  Calls up;
  EXPECT_EQ(copy_range(f, 30000, f, 0, n, record, &up), 1);
  EXPECT_EQ(up.done, (std::vector<int64_t>{2 * 57344, 57344, 0, static_cast<int64_t>(n)}));
  Calls down;
  EXPECT_EQ(copy_range(f, 0, f, 30000, n, record, &down), 1);  // back down: forwards
  EXPECT_EQ(down.done, (std::vector<int64_t>{0, 57344, 2 * 57344, static_cast<int64_t>(n)}));
  std::fclose(f);
  const Bytes got = read_file(dir / "f");
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<long>(n), original.begin()));
}

TEST(CopyRange, ZeroLengthAndAbort) {
  TempDir dir;
  write_file(dir / "f", counting(1000));
  std::FILE* f = std::fopen((dir / "f").c_str(), "rb+");
  EXPECT_EQ(copy_range(f, 0, f, 10, 0, nullptr, nullptr), 1);
  Calls c;
  c.abort_at = 1000;  // the final report
  EXPECT_EQ(copy_range(f, 0, f, 0, 1000, record, &c), 0);
  EXPECT_EQ(copy_range(f, 0, f, 500, 1000, nullptr, nullptr), 0);  // reading past the end
  std::fclose(f);
}

TEST(CopyFile, CopiesBytesAndTime) {
  TempDir dir;
  const Bytes data = counting(100000);
  write_file(dir / "src", data);
  test_support::set_mtime(dir / "src", 1500000000);
  EXPECT_EQ(copy_file((dir / "dst").c_str(), (dir / "src").c_str(), 0, nullptr, nullptr), 1);
  EXPECT_EQ(read_file(dir / "dst"), data);
  EXPECT_EQ(test_support::mtime_of(dir / "dst"), 1500000000);
  EXPECT_EQ(copy_file((dir / "new").c_str(), (dir / "src").c_str(), 1, nullptr, nullptr), 1);
  EXPECT_NE(test_support::mtime_of(dir / "new"), 1500000000);
}

TEST(CopyFile, MissingSourceGivesTwoAndRemovesTheDestination) {
  TempDir dir;
  write_file(dir / "dst", std::string("stale"));
  EXPECT_EQ(copy_file((dir / "dst").c_str(), (dir / "missing").c_str(), 0, nullptr, nullptr), kCopySourceMissing);
  EXPECT_FALSE(test_support::exists(dir / "dst"));
}

TEST(CopyFile, NeverDestroysTheSourceOrWritesThroughALink) {
  TempDir dir;
  write_file(dir / "src", std::string("source"));
  write_file(dir / "victim", std::string("victim"));
  EXPECT_EQ(copy_file((dir / "src").c_str(), (dir / "src").c_str(), 0, nullptr, nullptr), 0);
  EXPECT_EQ(read_file(dir / "src"), Bytes({'s', 'o', 'u', 'r', 'c', 'e'}));
  ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
  EXPECT_EQ(copy_file((dir / "link").c_str(), (dir / "src").c_str(), 0, nullptr, nullptr), 1);
  EXPECT_EQ(read_file(dir / "victim"), Bytes({'v', 'i', 'c', 't', 'i', 'm'}));
  EXPECT_EQ(read_file(dir / "link"), Bytes({'s', 'o', 'u', 'r', 'c', 'e'}));
}

TEST(CopyFile, AbortDeletesThePartialCopy) {
  TempDir dir;
  write_file(dir / "src", counting(200000));
  Calls c;
  c.abort_at = 57344;
  EXPECT_EQ(copy_file((dir / "dst").c_str(), (dir / "src").c_str(), 0, record, &c), 0);
  EXPECT_FALSE(test_support::exists(dir / "dst"));
}

}  // namespace
}  // namespace lumra::files
