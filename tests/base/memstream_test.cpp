#include "framework/base/memstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/packed.h"

namespace lumra::base {
namespace {

// Runs and repeated phrases: both the run-length and the LZW code shrink it.
std::vector<uint8_t> text_bytes(size_t n) {
  static const char kPattern[] = "abcabcabddddddddddeeeeeeeeee";
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(kPattern[i % (sizeof kPattern - 1)]);
  return v;
}

std::vector<uint8_t> pack(const std::vector<uint8_t>& data, uint8_t method) {
  uint32_t size = 0;
  uint8_t* block = packed_encode(data.data(), static_cast<uint32_t>(data.size()), method, &size);
  EXPECT_NE(block, nullptr);
  if (!block) return {};
  std::vector<uint8_t> out(block, block + size);
  heap_free(block);
  return out;
}

struct TempFile {
  std::FILE* f = std::tmpfile();
  explicit TempFile(const std::vector<uint8_t>& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
  }
  ~TempFile() { std::fclose(f); }
};

TEST(MemStream, BoundedViewStopsAtItsEndAndUnboundedDoesNot) {
  uint8_t bytes[32] = {};
  uint8_t out[4];
  MemStream s{};
  ASSERT_EQ(stream_open_memory(&s, bytes, 10), 1);
  EXPECT_TRUE(s.view);
  ASSERT_EQ(stream_seek(&s, 8, 0), 1);
  EXPECT_EQ(stream_read(&s, out, 4), 0);
  EXPECT_EQ(stream_tell(&s), 8) << "a failed read leaves the position";
  EXPECT_EQ(stream_seek(&s, 11, 0), 0) << "past the size of a bounded view";
  EXPECT_EQ(stream_write(&s, out, 1), 0) << "views are read-only";
  stream_release(&s);

  ASSERT_EQ(stream_open_memory(&s, bytes, -1), 1);
  EXPECT_TRUE(stream_unbounded(&s));
  ASSERT_EQ(stream_seek(&s, 8, 0), 1);
  EXPECT_EQ(stream_read(&s, out, 4), 1);
  EXPECT_EQ(stream_seek(&s, 20, 0), 1);
  stream_release(&s);
}

// A failing call says why, so that callers never print an older reason.
TEST(MemStream, EveryFailingCallSaysWhy) {
  uint8_t bytes[8] = {};
  uint8_t out[16];
  MemStream view{}, owned{}, unbounded{};
  stream_open_memory(&view, bytes, 8);
  stream_setup(&owned);
  stream_write(&owned, "abc", 3);
  stream_open_memory(&unbounded, bytes, -1);
  const std::vector<uint8_t> packed = pack(text_bytes(4000), kPackedLzw);
  std::vector<uint8_t> broken = packed;
  broken[broken.size() / 2] ^= 0x5A;
  TempFile packed_cut(std::vector<uint8_t>(packed.begin(), packed.begin() + 40));
  TempFile packed_broken(broken);
  TempFile short_file(std::vector<uint8_t>(5, 1));
  const auto read_file = [](std::FILE* f, int32_t n) {
    MemStream s{};
    const int r = stream_read_file(&s, f, n);
    stream_release(&s);
    return r;
  };
  const std::pair<const char*, std::function<int()>> calls[] = {
      {"read past a view's end", [&] { return stream_read(&view, out, 9); }},
      {"read a negative length", [&] { return stream_read(&owned, out, -1); }},
      {"write into a view", [&] { return stream_write(&view, "x", 1); }},
      {"write a negative length", [&] { return stream_write(&owned, "x", -1); }},
      {"read past 2 GiB in an unbounded view",
       [&] { return stream_seek(&unbounded, INT32_MAX - 1, 0) * stream_read(&unbounded, out, 4); }},
      {"reserve in a view", [&] { return stream_reserve(&view, 64); }},
      {"reserve above 2 GiB", [&] { return stream_reserve(&owned, kStreamMaxCapacity + 1); }},
      {"seek from the end", [&] { return stream_seek(&owned, 0, 2); }},
      {"seek before the start", [&] { return stream_seek(&owned, -1, 0); }},
      {"seek past the end", [&] { return stream_seek(&owned, 4, 0); }},
      {"read a file into a view", [&] { return stream_read_file(&view, short_file.f, 2); }},
      {"read no file", [&] { return stream_read_file(&owned, nullptr, 2); }},
      {"read more than the file holds", [&] { return read_file(short_file.f, 9); }},
      {"packed block cut short", [&] { return read_file(packed_cut.f, int32_t(packed.size())); }},
      {"packed block that does not expand", [&] { return read_file(packed_broken.f, -1); }},
      {"write no file", [&] { return stream_write_file(&owned, nullptr); }},
      {"write an unbounded view", [&] { return stream_write_file(&unbounded, short_file.f); }},
  };
  for (const auto& [name, call] : calls) {
    clear_error();
    EXPECT_EQ(call(), 0) << name;
    EXPECT_STRNE(last_error(), "") << name;
  }
  stream_release(&view);
  stream_release(&owned);
  stream_release(&unbounded);
}

TEST(MemStream, ReadWriteSeekRules) {
  MemStream s{};
  stream_setup(&s);
  const char hello[] = "hello, world";
  EXPECT_EQ(stream_write(&s, hello, 0), 1);
  EXPECT_EQ(stream_write(&s, hello, -1), 0);
  ASSERT_EQ(stream_write(&s, hello, 12), 1);
  EXPECT_EQ(s.size, 12u);
  EXPECT_EQ(s.capacity, 16u);
  EXPECT_EQ(stream_seek(&s, -5, 1), 1);
  ASSERT_EQ(stream_write(&s, "W", 1), 1);
  EXPECT_EQ(s.size, 12u) << "overwriting inside keeps the size";
  EXPECT_EQ(stream_seek(&s, -20, 1), 0);
  EXPECT_EQ(stream_seek(&s, 0, 2), 0) << "only whence 0 and 1";
  EXPECT_EQ(stream_seek(&s, 13, 0), 0);
  EXPECT_EQ(stream_seek(&s, 12, 0), 1);
  ASSERT_EQ(stream_rewind(&s), 1);
  char back[13] = {};
  EXPECT_EQ(stream_read(&s, back, 12), 1);
  EXPECT_STREQ(back, "hello, World");
  EXPECT_EQ(stream_read(&s, back, 1), 0);
  EXPECT_EQ(stream_read(&s, back, 0), 1);
  EXPECT_EQ(stream_read(&s, back, -1), 0);
  stream_release(&s);
  EXPECT_EQ(s.data, nullptr);
}

TEST(MemStream, OpeningOverAPackedBlockExpandsIt) {
  for (uint8_t method : {kPackedRunLength, kPackedLzw}) {
    const auto data = text_bytes(5000);
    auto block = pack(data, method);
    ASSERT_FALSE(block.empty());
    MemStream s{};
    ASSERT_EQ(stream_open_memory(&s, block.data(), static_cast<int32_t>(block.size())), 1);
    EXPECT_FALSE(s.view);
    ASSERT_EQ(s.size, data.size()) << int(method);
    EXPECT_EQ(std::memcmp(s.data, data.data(), data.size()), 0);
    EXPECT_EQ(stream_tell(&s), 0);
    stream_release(&s);
  }
}

TEST(MemStream, BlockThatFailsToExpandIsKeptWithItsHeader) {
  auto block = pack(text_bytes(5000), kPackedRunLength);
  store_u32le(block.data() + 8, 5001);  // decodes to 5000, not the 5001 claimed
  MemStream s{};
  ASSERT_EQ(stream_open_memory(&s, block.data(), static_cast<int32_t>(block.size())), 1);
  EXPECT_FALSE(s.view);
  ASSERT_EQ(s.size, block.size());
  EXPECT_EQ(std::memcmp(s.data, block.data(), block.size()), 0);
  stream_release(&s);
}

TEST(MemStream, HeaderClaimingMoreThanTheBytesIsOrdinaryData) {
  auto block = pack(text_bytes(5000), kPackedLzw);
  MemStream s{};
  const auto cut = static_cast<int32_t>(block.size() - 1);
  ASSERT_EQ(stream_open_memory(&s, block.data(), cut), 1);
  EXPECT_TRUE(s.view);
  EXPECT_EQ(s.size, static_cast<uint32_t>(cut));
  stream_release(&s);
}

TEST(MemStream, LyingExpandedLengthIsRefusedBeforeAllocating) {
  // 20 bytes of run-length data cannot make a gigabyte.
  std::vector<uint8_t> block(36, 0);
  store_u32le(block.data(), kPackedMagic);
  store_u32le(block.data() + 4, 36);
  store_u32le(block.data() + 8, kPackedMaxExpanded - 1);
  block[13] = kPackedRunLength;
  const size_t before = heap_stats(heap_current()).bytes_in_use;
  MemStream s{};
  ASSERT_EQ(stream_open_memory(&s, block.data(), 36), 1);
  EXPECT_EQ(s.size, 36u);
  EXPECT_LT(heap_stats(heap_current()).bytes_in_use, before + 1024);
  stream_release(&s);
}

TEST(MemStream, ReadFileExpandsAPackedBlockAtTheStart) {
  const auto data = text_bytes(70000);
  auto block = pack(data, kPackedLzw);
  TempFile file(block);
  MemStream s{};
  stream_setup(&s);
  ASSERT_EQ(stream_read_file(&s, file.f, -1), 1);
  ASSERT_EQ(s.size, data.size());
  EXPECT_EQ(std::memcmp(s.data, data.data(), data.size()), 0);
  EXPECT_EQ(stream_tell(&s), 0);
  stream_release(&s);
}

TEST(MemStream, ReadFileTreatsAnOversizedHeaderAsData) {
  auto block = pack(text_bytes(5000), kPackedRunLength);
  TempFile file(block);
  MemStream s{};
  stream_setup(&s);
  const auto n = static_cast<int32_t>(block.size() - 3);  // asks for less than the block claims
  ASSERT_EQ(stream_read_file(&s, file.f, n), 1);
  EXPECT_EQ(s.size, static_cast<uint32_t>(n));
  EXPECT_EQ(std::memcmp(s.data, block.data(), static_cast<size_t>(n)), 0);
  stream_release(&s);
}

TEST(MemStream, ReadFileAppendsAtThePositionAndFailsShort) {
  TempFile file(text_bytes(100));
  MemStream s{};
  stream_setup(&s);
  ASSERT_EQ(stream_write(&s, "xy", 2), 1);
  ASSERT_EQ(stream_read_file(&s, file.f, 10), 1);
  EXPECT_EQ(s.size, 12u);
  EXPECT_EQ(stream_tell(&s), 2) << "the position does not move";
  EXPECT_EQ(std::memcmp(s.data + 2, "abcabcabdd", 10), 0);
  EXPECT_EQ(stream_read_file(&s, file.f, 1000), 0) << "only 90 bytes are left in the file";
  MemStream view{};
  uint8_t bytes[4] = {};
  stream_open_memory(&view, bytes, 4);
  EXPECT_EQ(stream_read_file(&view, file.f, 1), 0);
  stream_release(&s);
}

TEST(MemStream, WriteFileWritesTheWholeStream) {
  MemStream s{};
  stream_setup(&s);
  stream_write(&s, "abcdef", 6);
  stream_seek(&s, 2, 0);
  std::FILE* f = std::tmpfile();
  ASSERT_EQ(stream_write_file(&s, f), 1);
  std::rewind(f);
  char back[7] = {};
  EXPECT_EQ(std::fread(back, 1, 7, f), 6u);
  EXPECT_STREQ(back, "abcdef");
  std::fclose(f);
  stream_release(&s);
}

}  // namespace
}  // namespace lumra::base
