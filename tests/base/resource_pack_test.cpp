// Resource packs built byte by byte: the record layout, identifier ranges, re-registration, the
// first-covering-pack rule, type checks, picture headers, and records that lie about their length.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/memstream.h"
#include "framework/base/resource_pack.h"

namespace lumra::base {
namespace {

using Bytes = std::vector<uint8_t>;

struct Record {
  uint8_t type;
  int32_t id;
  Bytes payload;
};

Bytes pack_of(const std::vector<Record>& records) {
  Bytes b;
  for (const Record& r : records) {
    uint8_t head[9];
    store_u32le(head, static_cast<uint32_t>(r.payload.size() + 9));  // length with the header
    head[4] = r.type;
    store_u32le(head + 5, static_cast<uint32_t>(r.id));
    b.insert(b.end(), head, head + 9);
    b.insert(b.end(), r.payload.begin(), r.payload.end());
  }
  b.insert(b.end(), 4, 0);  // the end
  return b;
}

class Packs : public ::testing::Test {
 protected:
  void SetUp() override { packs_release(); }
  void TearDown() override { packs_release(); }
  static const ResourcePack* pack(uint32_t i) { return static_cast<const ResourcePack*>(array_at(pack_list(), i)); }
  static Bytes find(int32_t id, uint32_t type, int* ok) {
    MemStream s{};
    stream_setup(&s);
    *ok = pack_find(id, type, &s);
    Bytes out(s.data, s.data + s.size);
    EXPECT_EQ(stream_tell(&s), 0);
    stream_release(&s);
    return out;
  }
};

TEST_F(Packs, ListExistsBeforeAnyRegistration) {
  // Created before main; the fixture released it, and registration sets it up again.
  const Bytes a = pack_of({{0, 1, {1}}});
  EXPECT_TRUE(pack_register(a.data()));
  EXPECT_EQ(pack_list()->count, 1u);
  EXPECT_EQ(pack_list()->element_size, sizeof(ResourcePack));
}

TEST_F(Packs, EntriesAndRanges) {
  const Bytes a = pack_of({{0, 3, {1, 2, 3}}, {0, 7, {}}, {2, 40, Bytes(300, 9)}});
  ASSERT_TRUE(pack_register(a.data()));
  const ResourcePack* p = pack(0);
  ASSERT_EQ(p->entries.count, 3u);
  EXPECT_EQ(p->base, a.data());
  EXPECT_EQ(p->min_id, 3);
  EXPECT_EQ(p->max_id, 40);
  const auto* e = static_cast<const ResourceEntry*>(array_at(&p->entries, 2));
  EXPECT_EQ(e->id, 40);
  EXPECT_EQ(e->type, 2u);
  EXPECT_EQ(e->offset, 9u + 3 + 9 + 0 + 9);
  EXPECT_EQ(e->size, 300u);
  int ok = 0;
  EXPECT_EQ(find(3, 0, &ok), (Bytes{1, 2, 3}));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(find(7, 0, &ok).empty());
  EXPECT_TRUE(ok) << "an empty payload is found";
  EXPECT_EQ(find(40, 2, &ok).size(), 300u);
  EXPECT_TRUE(ok);
  find(5, 0, &ok);
  EXPECT_FALSE(ok) << "inside the range, not in the pack";
  find(41, 2, &ok);
  EXPECT_FALSE(ok);
}

TEST_F(Packs, ZeroIsNoIdentifierForTheMinimum) {
  const Bytes a = pack_of({{0, 0, {}}, {0, 4, {}}, {0, 9, {}}});
  ASSERT_TRUE(pack_register(a.data()));
  EXPECT_EQ(pack(0)->min_id, 4);
  EXPECT_EQ(pack(0)->max_id, 9);
}

TEST_F(Packs, RegisteringTheSamePackTwiceKeepsOneRecord) {
  const Bytes a = pack_of({{0, 1, {1}}});
  const Bytes b = pack_of({{0, 2, {2}}});
  ASSERT_TRUE(pack_register(a.data()));
  ASSERT_TRUE(pack_register(b.data()));
  ASSERT_TRUE(pack_register(a.data()));
  ASSERT_EQ(pack_list()->count, 2u);
  EXPECT_EQ(pack(0)->base, b.data());
  EXPECT_EQ(pack(1)->base, a.data()) << "the replacement goes to the end";
  EXPECT_EQ(pack(1)->entries.count, 1u);
}

TEST_F(Packs, TheFirstPackWhoseRangeCoversAnIdentifierIsTheOnlyOneSearched) {
  const Bytes first = pack_of({{0, 10, {1}}, {0, 30, {3}}});
  const Bytes second = pack_of({{0, 20, {2}}, {0, 40, {4}}});
  ASSERT_TRUE(pack_register(first.data()));
  ASSERT_TRUE(pack_register(second.data()));
  int ok = 0;
  find(20, 0, &ok);
  EXPECT_FALSE(ok) << "20 lies in the first pack's range 10..30, so the second is never asked";
  EXPECT_EQ(find(40, 0, &ok), (Bytes{4}));
  EXPECT_TRUE(ok) << "above the first pack's range";
  EXPECT_EQ(find(10, 0, &ok), (Bytes{1}));
  find(5, 0, &ok);
  EXPECT_FALSE(ok) << "below every range";
}

TEST_F(Packs, TypeMustMatch) {
  const Bytes a = pack_of({{0, 1, {7}}});
  ASSERT_TRUE(pack_register(a.data()));
  int ok = 0;
  find(1, 1, &ok);
  EXPECT_FALSE(ok);
  find(1, 0, &ok);
  EXPECT_TRUE(ok);
}

TEST_F(Packs, PictureHeaders) {
  Bytes header(16, 0);
  store_u32le(header.data() + 6, 164);
  store_u32le(header.data() + 10, 314);
  Bytes payload = header;
  payload.insert(payload.end(), 5, 0xEE);
  const Bytes a = pack_of({{0, 1, payload}, {0, 2, Bytes(15, 1)}, {1, 3, header}});
  ASSERT_TRUE(pack_register(a.data()));
  uint8_t out[16] = {};
  ASSERT_TRUE(pack_read_picture_header(out, 1));
  EXPECT_EQ(load_u32le(out + 6), 164u);
  EXPECT_EQ(load_u32le(out + 10), 314u);
  EXPECT_TRUE(pack_read_picture_header(nullptr, 1)) << "no destination: the picture exists";
  EXPECT_TRUE(pack_read_picture_header(nullptr, 2));
  EXPECT_FALSE(pack_read_picture_header(out, 2)) << "payload shorter than a header";
  EXPECT_FALSE(pack_read_picture_header(out, 3)) << "not a picture";
  EXPECT_FALSE(pack_read_picture_header(out, 100071)) << "an icon this program does not carry";
}

TEST_F(Packs, RecordsShorterThanTheirHeaderFailRegistration) {
  for (uint32_t length : {1u, 8u}) {
    Bytes a = pack_of({{0, 1, {1}}});
    Bytes bad(9, 0);
    store_u32le(bad.data(), length);
    a.insert(a.end() - 4, bad.begin(), bad.end());
    EXPECT_FALSE(pack_register(a.data())) << length;
    EXPECT_EQ(pack_list()->count, 0u) << "the half-read pack is not kept";
  }
  EXPECT_FALSE(pack_register(nullptr));
}

TEST_F(Packs, FindRefusesReadOnlyStreams) {
  const Bytes a = pack_of({{0, 1, {1}}});
  ASSERT_TRUE(pack_register(a.data()));
  MemStream view{};
  const uint8_t bytes[4] = {};
  stream_open_memory(&view, bytes, 4);
  EXPECT_FALSE(pack_find(1, 0, &view));
  stream_release(&view);
  MemStream reused{};
  stream_setup(&reused);
  ASSERT_TRUE(stream_write(&reused, "some old bytes", 14));
  ASSERT_TRUE(pack_find(1, 0, &reused));
  EXPECT_EQ(reused.size, 1u) << "the old contents are dropped";
  stream_release(&reused);
}

}  // namespace
}  // namespace lumra::base
