// The native format's pieces: scrambling, header layout, the block writer and reader (every
// method, with and without a key, across the 16,384-byte block edge), and the reader's end and
// error rules on malformed records.
#include "framework/files/native_archive.h"

#include <gtest/gtest.h>

#include <set>

#include "framework/base/bytes.h"
#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::Bytes;
using test_support::sample;
using test_support::TempDir;

TEST(Scramble, TableIsAFixedPermutation) {
  std::set<uint32_t> values(kScrambleTable.begin(), kScrambleTable.end());
  EXPECT_EQ(values.size(), 256u);
  EXPECT_EQ(*values.rbegin(), 255u);
  uint32_t hash = 2166136261u;
  for (uint32_t v : kScrambleTable) hash = (hash ^ v) * 16777619u;
  // Archives written with a key must read back forever: this value changes only on purpose.
  EXPECT_EQ(hash, 0x7a8e62ebu);
}

TEST(Scramble, UndoesItselfAndChangesTheBytes) {
  for (size_t n : {0, 1, 11, 12, 13, 110, 16384}) {
    SCOPED_TRACE(n);
    const Bytes plain = sample(n, 0);
    Bytes b = plain;
    scramble(b.data(), b.size(), 0x5A);
    if (n > 0) {
      EXPECT_NE(b, plain);
    }
    unscramble(b.data(), b.size(), 0x5A);
    EXPECT_EQ(b, plain);
    scramble(b.data(), b.size(), 0);
    EXPECT_EQ(b, plain);  // key 0: no scrambling
  }
}

TEST(NativeHeader, LayoutIsLittleEndianAt80_84_88) {
  MemberHeader h{};
  ASSERT_TRUE(header_set_name(&h, "dir\\file.txt"));
  h.record_length = 0x11223344;
  h.unpacked_size = 0x55667788;
  h.dos_time = 0x99AABBCC;
  uint8_t raw[kHeaderSize];
  header_store(h, raw);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw)), "dir\\file.txt");
  EXPECT_EQ(base::load_u32le(raw + 80), 0x11223344u);
  EXPECT_EQ(base::load_u32le(raw + 84), 0x55667788u);
  EXPECT_EQ(base::load_u32le(raw + 88), 0x99AABBCCu);
  for (int i = 92; i < 110; ++i) EXPECT_EQ(raw[i], 0) << i;
  MemberHeader back{};
  header_load(raw, &back);
  EXPECT_EQ(back.record_length, h.record_length);
  EXPECT_STREQ(back.name, h.name);
  EXPECT_FALSE(header_set_name(&h, std::string(80, 'n')));  // 79 characters at most
  EXPECT_TRUE(header_set_name(&h, std::string(79, 'n')));
}

// Writes one member with the given writer value and key, then reads its blocks back.
struct RoundTrip {
  Bytes data;
  std::vector<int> methods;
  Bytes back;
  bool read_ok = true;
};

RoundTrip round_trip(const TempDir& dir, const Bytes& data, int value, uint8_t key) {
  RoundTrip r;
  r.data = data;
  const std::string path = dir / "m.kx";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  MemberHeader h{};
  header_set_name(&h, "m.bin");
  h.unpacked_size = static_cast<uint32_t>(data.size());
  uint32_t record = kHeaderSize;
  native_write_header(f, h, key);
  for (size_t at = 0; at < data.size(); at += kBlockSize) {
    const uint32_t n = static_cast<uint32_t>(std::min(kBlockSize, data.size() - at));
    EXPECT_EQ(native_write_block(f, data.data() + at, n, value, key, &record), 1);
  }
  h.record_length = record;
  std::fseek(f, 0, SEEK_SET);
  native_write_header(f, h, key);
  std::fclose(f);

  NativeReader rd;
  EXPECT_EQ(native_open(&rd, path.c_str(), key, "rb"), 1);
  MemberHeader got{};
  EXPECT_EQ(native_next(&rd, &got), MemberStep::kMember);
  EXPECT_EQ(got.record_length, record);
  Bytes out(kBlockSize);
  Bytes scratch(kWorkBufferSize);
  while (rd.unpacked_left > 0) {
    const uint64_t at = rd.block_pos;
    uint8_t head[2];
    std::fseek(rd.file.get(), static_cast<long>(at), SEEK_SET);
    EXPECT_EQ(std::fread(head, 1, 2, rd.file.get()), 2u);
    r.methods.push_back(base::load_u16le(head));
    uint32_t produced = 0;
    if (!native_read_block(&rd, out.data(), scratch.data(), &produced)) {
      r.read_ok = false;
      break;
    }
    r.back.insert(r.back.end(), out.begin(), out.begin() + produced);
  }
  EXPECT_EQ(native_next(&rd, &got), MemberStep::kEnd);
  return r;
}

TEST(NativeBlocks, EveryWriterValueRoundTripsWithAndWithoutKey) {
  TempDir dir;
  struct Case {
    int value;
    int kind;  // 0 text, 1 random, 2 all equal
    int first_method;
  };
  const Case cases[] = {
      {0, 0, kBlockStored},         {1, 2, kBlockRunLength},     {1, 1, kBlockStored},
      {2, 0, kBlockLzw},            {2, 1, kBlockStored},        {32, 0, kBlockZlibDefault},
      {64, 0, kBlockZlibFast},      {128, 0, kBlockZlibBest},    {33, 0, kBlockZlibDefault},
      {33, 2, kBlockZlibDefault},   {129, 1, kBlockStored},      {4, 0, kBlockStored},
  };
  for (const Case& c : cases) {
    for (uint8_t key : {0, 0x77}) {
      for (size_t n : {1, 16383, 16384, 16385, 40000}) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << " kind " << c.kind << " key " << int(key) << " n " << n);
        const RoundTrip r = round_trip(dir, sample(n, c.kind), c.value, key);
        EXPECT_TRUE(r.read_ok) << base::last_error();
        EXPECT_EQ(r.back, r.data);
        ASSERT_FALSE(r.methods.empty());
        if (n >= 100) {
          EXPECT_EQ(r.methods[0], c.first_method);
        }
      }
    }
  }
}

// A record by hand: header fields and raw bytes after it.
Bytes record(const char* name, uint32_t record_length, uint32_t unpacked, const Bytes& body, uint8_t key = 0) {
  MemberHeader h{};
  header_set_name(&h, name);
  h.record_length = record_length;
  h.unpacked_size = unpacked;
  Bytes out(kHeaderSize);
  header_store(h, out.data());
  scramble(out.data(), out.size(), key);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes block(uint16_t method, uint16_t unpacked, uint16_t stored, const Bytes& data) {
  Bytes b(6);
  base::store_u16le(b.data(), method);
  base::store_u16le(b.data() + 2, unpacked);
  base::store_u16le(b.data() + 4, stored);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// Reads the file: the result of native_next, and when a member, of reading one block.
std::pair<MemberStep, int> read_first(const TempDir& dir, const Bytes& file, uint8_t key = 0) {
  test_support::write_file(dir / "x.kx", file);
  NativeReader r;
  EXPECT_EQ(native_open(&r, (dir / "x.kx").c_str(), key, "rb"), 1);
  MemberHeader h{};
  const MemberStep got = native_next(&r, &h);
  int block_ok = -1;
  if (got == MemberStep::kMember && h.unpacked_size > 0) {
    Bytes out(kBlockSize);
    Bytes scratch(kWorkBufferSize);
    uint32_t produced = 0;
    block_ok = native_read_block(&r, out.data(), scratch.data(), &produced);
  }
  return {got, block_ok};
}

TEST(NativeReader, EndAndErrorRules) {
  TempDir dir;
  const Bytes three = {'a', 'b', 'c'};
  struct Case {
    const char* name;
    Bytes file;
    MemberStep next;
    int block;
  };
  Bytes unterminated = record("x", 110, 0, {});
  std::fill(unterminated.begin(), unterminated.begin() + 80, 'n');
  Bytes scrambled_other_key = record("a.txt", 119, 3, block(0, 3, 3, three), 0x33);
  const Case cases[] = {
      {"empty file", {}, MemberStep::kEnd, -1},
      {"header cut short", Bytes(60, 'a'), MemberStep::kEnd, -1},
      {"stored block", record("a.txt", 119, 3, block(0, 3, 3, three)), MemberStep::kMember, 1},
      {"name below 32", record("\x01x", 110, 0, {}), MemberStep::kEnd, -1},
      {"unterminated name", unterminated, MemberStep::kError, -1},
      {"record shorter than header", record("a", 100, 0, {}), MemberStep::kError, -1},
      {"record past the end", record("a", 500, 0, {}), MemberStep::kError, -1},
      {"scrambled, no key", scrambled_other_key, MemberStep::kEnd, -1},
      {"unknown method", record("a", 119, 3, block(3, 3, 3, three)), MemberStep::kMember, 0},
      {"block over 16384", record("a", 119, 20000, block(0, 20000, 3, three)), MemberStep::kMember, 0},
      {"empty block", record("a", 116, 3, block(0, 0, 0, {})), MemberStep::kMember, 0},
      {"block past its record", record("a", 118, 3, block(0, 3, 3, three)), MemberStep::kMember, 0},
      {"block larger than member", record("a", 119, 2, block(0, 3, 3, three)), MemberStep::kMember, 0},
      {"bad zlib", record("a", 119, 3, block(32, 3, 3, three)), MemberStep::kMember, 0},
      {"bad run-length", record("a", 118, 3, block(1, 3, 2, {0x05, 'a'})), MemberStep::kMember, 0},
      {"lzw short", record("a", 119, 3, block(2, 3, 3, three)), MemberStep::kMember, 0},
      {"data runs out", record("a", 116, 3, block(0, 3, 3, {})), MemberStep::kMember, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto got = read_first(dir, c.file);
    EXPECT_EQ(got.first, c.next);
    EXPECT_EQ(got.second, c.block);
  }
  EXPECT_EQ(read_first(dir, scrambled_other_key, 0x33), std::make_pair(MemberStep::kMember, 1));
  EXPECT_EQ(read_first(dir, scrambled_other_key, 0x34).first, MemberStep::kEnd);  // wrong key: check bytes stay nonzero
}

}  // namespace
}  // namespace lumra::files
