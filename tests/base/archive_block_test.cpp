// Archive-format blocks: every method decodes to exactly its unpacked length or fails, and a
// block read from a memory stream that does not fit leaves the stream where it was.
#include "framework/base/archive_block.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/lzw.h"
#include "framework/base/rle.h"

namespace lumra::base {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kPlain = {'a', 'a', 'a', 'a', 'a', 'a', 'b', 'c', 'a', 'a', 'a', 'a', 'a', 'a', 'b', 'c'};

Bytes coded(int method) {
  Bytes out(64);
  size_t n = 0;
  uLongf z = out.size();
  switch (method) {
    case kBlockRunLength: EXPECT_TRUE(rle_encode(kPlain.data(), kPlain.size(), out.data(), out.size(), &n)); break;
    case kBlockLzw: EXPECT_TRUE(lzw_encode(kPlain.data(), kPlain.size(), out.data(), out.size(), &n)); break;
    case kBlockZlibDefault: EXPECT_EQ(compress2(out.data(), &z, kPlain.data(), kPlain.size(), 6), Z_OK); n = z; break;
    default: return kPlain;
  }
  out.resize(n);
  return out;
}

// Block header (method, unpacked, stored) and data.
Bytes block(uint16_t method, uint16_t unpacked, const Bytes& data) {
  Bytes b(kBlockHeaderSize + data.size());
  store_u16le(b.data(), method);
  store_u16le(b.data() + 2, unpacked);
  store_u16le(b.data() + 4, static_cast<uint16_t>(data.size()));
  std::copy(data.begin(), data.end(), b.begin() + kBlockHeaderSize);
  return b;
}

TEST(ArchiveBlock, EveryMethodDecodesToExactlyItsLength) {
  for (const int method : {kBlockStored, kBlockRunLength, kBlockLzw, 4, 8, kBlockZlibDefault, kBlockZlibFast,
                           kBlockZlibBest}) {
    SCOPED_TRACE(method);
    const Bytes data = coded(method == 4 || method == 8 ? kBlockLzw : method >= 32 ? kBlockZlibDefault : method);
    Bytes out(kPlain.size());
    ASSERT_TRUE(block_decode(method, data.data(), static_cast<uint32_t>(data.size()), out.data(),
                             static_cast<uint32_t>(out.size())));
    EXPECT_EQ(out, kPlain);
    Bytes longer(kPlain.size() + 1);
    EXPECT_FALSE(block_decode(method, data.data(), static_cast<uint32_t>(data.size()), longer.data(),
                              static_cast<uint32_t>(longer.size())))
        << "a block that decodes short fails";
  }
  Bytes out(3);
  EXPECT_FALSE(block_decode(3, kPlain.data(), 3, out.data(), 3));
  EXPECT_NE(std::string(last_error()).find("unknown block method 3"), std::string::npos);
}

TEST(ArchiveBlock, StreamBlocksThatDoNotFitLeaveTheStreamWhereItWas) {
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t capacity;
    bool ok;
  };
  Bytes cut = block(kBlockRunLength, 16, coded(kBlockRunLength));
  cut.pop_back();
  const Case cases[] = {
      {"run-length", block(kBlockRunLength, 16, coded(kBlockRunLength)), 16, true},
      {"stored, third field ignored", block(kBlockStored, 16, kPlain), 16, true},
      {"larger than its place", block(kBlockStored, 16, kPlain), 15, false},
      {"empty", block(kBlockStored, 0, {}), 16, false},
      {"data cut short", cut, 16, false},
      {"header cut short", Bytes(5, 0), 16, false},
      {"bad data", block(kBlockZlibDefault, 16, kPlain), 16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemStream s{};
    stream_setup(&s);
    ASSERT_TRUE(stream_write(&s, "xy", 2));
    ASSERT_TRUE(stream_write(&s, c.bytes.data(), static_cast<int32_t>(c.bytes.size())));
    stream_seek(&s, 2, 0);
    Bytes out(c.capacity);
    uint32_t produced = 99;
    EXPECT_EQ(stream_read_block(&s, out.data(), c.capacity, &produced), c.ok ? 1 : 0);
    EXPECT_EQ(produced, c.ok ? 16u : 0u);
    EXPECT_EQ(stream_tell(&s), c.ok ? static_cast<int32_t>(c.bytes.size()) + 2 : 2);
    if (c.ok) {
      EXPECT_EQ(out, kPlain);
    }
    stream_release(&s);
  }
}

}  // namespace
}  // namespace lumra::base
