// TIFF: the description a fixture yields, exact small files built entry by entry in either byte
// order (value fields, colour maps, strip tables), compressed strips cut short, and the refusals.
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/lzw.h"
#include "framework/image/tiff_file.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;

struct Tag {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // a value that fits the field, or an offset into the file
};

// Header, then `blob` at offset 8, then the directory.
Bytes tiff(bool big, const Bytes& blob, const std::vector<Tag>& tags) {
  Bytes f;
  auto u16 = [&](uint16_t v) {
    if (big) f.insert(f.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    else f.insert(f.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
  };
  auto u32 = [&](uint32_t v) {
    if (big) { u16(static_cast<uint16_t>(v >> 16)); u16(static_cast<uint16_t>(v)); }
    else { u16(static_cast<uint16_t>(v)); u16(static_cast<uint16_t>(v >> 16)); }
  };
  f.push_back(big ? 'M' : 'I');
  f.push_back(big ? 'M' : 'I');
  u16(42);
  u32(static_cast<uint32_t>(8 + blob.size()));
  f.insert(f.end(), blob.begin(), blob.end());
  u16(static_cast<uint16_t>(tags.size()));
  for (const Tag& t : tags) {
    u16(t.tag);
    u16(t.type);
    u32(t.count);
    if (t.type == 3 && t.count == 1) { u16(static_cast<uint16_t>(t.value)); u16(0); }  // SHORT: first two bytes
    else if (t.type == 1 && t.count == 1) { f.insert(f.end(), {static_cast<uint8_t>(t.value), 0, 0, 0}); }
    else u32(t.value);
  }
  u32(0);
  return f;
}

// An 8 x 2 gray picture, one uncompressed strip of 16 bytes at offset 8.
std::vector<Tag> gray_tags(uint32_t photometric = 1) {
  return {{256, 3, 1, 8}, {257, 3, 1, 2}, {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, photometric}, {273, 4, 1, 8}, {279, 4, 1, 16}};
}

Bytes ramp16() {
  Bytes b;
  for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(i * 16 + 1));
  return b;
}

int read(const Bytes& f, Image* img, TiffDescription* d = nullptr) {
  TiffDescription local{};
  return read_tiff_memory(d ? d : &local, img, f.data(), f.size());
}

TEST(ReadTiff, BothByteOrdersAndValueFields) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    Image img{};
    TiffDescription d{};
    ASSERT_EQ(read(tiff(big, ramp16(), gray_tags()), &img, &d), 1) << base::last_error();
    EXPECT_EQ(d.byte_order, big ? 0x4D4D : 0x4949);
    EXPECT_EQ(d.first_directory, 24u);
    EXPECT_EQ(d.width, 8u);
    EXPECT_EQ(d.height, 2u);
    EXPECT_EQ(d.bits, 8u);
    EXPECT_EQ(d.photometric, 1u);
    EXPECT_EQ(d.strip_count, 1u);
    EXPECT_EQ(d.rows_per_strip, 2u);  // absent: height / strips
    EXPECT_EQ(d.strip_byte_count, 16u);
    EXPECT_EQ(img.format, Gray8);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 16), ramp16());
    image_free(&img);
  }
}

TEST(ReadTiff, ResolutionRationalsInEitherByteOrder) {
  struct Case {
    uint32_t unit;
    float x, y;
  } const cases[] = {{2, 150, 37.5f}, {3, 381, 95.25f}, {1, 0, 0}};
  for (bool big : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(big ? "MM" : "II") + " unit " + std::to_string(c.unit));
      // The strip, then x = 300 / 2 and y = 75 / 2 at offsets 24 and 32, in the file's order.
      Bytes blob = ramp16();
      for (uint32_t v : {300u, 2u, 75u, 2u}) {
        for (int i = 0; i < 4; ++i) blob.push_back(static_cast<uint8_t>(v >> (big ? 24 - 8 * i : 8 * i)));
      }
      std::vector<Tag> tags = gray_tags();
      tags.insert(tags.end(), {{282, 5, 1, 24}, {283, 5, 1, 32}, {296, 3, 1, c.unit}});
      Image img{};
      TiffDescription d{};
      ASSERT_EQ(read(tiff(big, blob, tags), &img, &d), 1) << base::last_error();
      EXPECT_FLOAT_EQ(d.x_resolution, c.x);
      EXPECT_FLOAT_EQ(d.y_resolution, c.y);
      image_free(&img);
    }
  }
}

TEST(ReadTiff, WhiteIsZeroInverts) {
  Image img{};
  ASSERT_EQ(read(tiff(false, ramp16(), gray_tags(0)), &img), 1);
  EXPECT_EQ(img.pixels[0], 254);
  EXPECT_EQ(img.pixels[15], 255 - 241);
  image_free(&img);
}

TEST(ReadTiff, ColourMaps) {
  // 1-bit palette, 2 x 1 pixels: strip byte 0x40 (pixels 0, 1) at offset 8; map at offset 10.
  const auto one_bit = [](std::vector<uint16_t> map) {
    Bytes blob = {0x40, 0};
    for (uint16_t v : map) blob.insert(blob.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    return tiff(false, blob, {{256, 3, 1, 2}, {257, 3, 1, 1}, {258, 3, 1, 1}, {262, 3, 1, 3}, {273, 4, 1, 8},
                              {320, 3, static_cast<uint32_t>(map.size()), 10}});
  };
  struct Case {
    const char* name;
    Bytes file;
    int32_t format;
    int16_t palette_count;
    uint32_t entry1;
  } const cases[] = {
      {"gray ramp: read as gray", one_bit({0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}), Mono1, 0, 0},
      {"16-bit map: high bytes", one_bit({0x1200, 0xAB00, 0x3400, 0xCD00, 0x5600, 0xEF00}), Mono1, 2, colour_value(0xAB, 0xCD, 0xEF)},
      {"8-bit values in 16-bit fields: low bytes", one_bit({0x12, 0xAB, 0x34, 0xCD, 0x56, 0xEF}), Mono1, 2, colour_value(0xAB, 0xCD, 0xEF)},
      {"falling ramp is a palette", one_bit({0xFFFF, 0, 0xFFFF, 0, 0xFFFF, 0}), Mono1, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    ASSERT_EQ(read(c.file, &img), 1) << base::last_error();
    EXPECT_EQ(img.format, c.format);
    EXPECT_EQ(img.paletteCount, c.palette_count);
    if (c.palette_count) {
      EXPECT_EQ(img.palette[1], c.entry1);
    }
    EXPECT_EQ(img.pixels[0], 0x40);
    image_free(&img);
  }
  // A fixture whose map is an increasing gray ramp loads as gray, without palette.
  Image img{};
  ASSERT_EQ(read_tiff(nullptr, &img, (fixtures() + "/tiff_grayramp4_lzw_mm.tif").c_str()), 1);
  EXPECT_EQ(img.format, Gray4);
  EXPECT_EQ(img.paletteCount, 0);
  EXPECT_EQ(img.palette, nullptr);
  image_free(&img);
}

TEST(ReadTiff, StripTables) {
  // 4 x 3 gray, one row per strip; offsets as SHORTs or LONGs in a table at offset 20.
  Bytes blob = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes shorts = {8, 0, 12, 0, 16, 0, 0, 0};
  const Bytes longs = {8, 0, 0, 0, 12, 0, 0, 0, 16, 0, 0, 0};
  for (bool as_short : {true, false}) {
    SCOPED_TRACE(as_short ? "SHORT offsets" : "LONG offsets");
    Bytes b = blob;
    const Bytes& table = as_short ? shorts : longs;
    b.insert(b.end(), table.begin(), table.end());
    const Bytes f = tiff(false, b, {{256, 3, 1, 4}, {257, 3, 1, 3}, {258, 3, 1, 8}, {262, 3, 1, 1},
                                    {273, static_cast<uint16_t>(as_short ? 3 : 4), 3, 20}, {278, 3, 1, 1}});
    Image img{};
    ASSERT_EQ(read(f, &img), 1) << base::last_error();
    EXPECT_EQ(Bytes(img.pixels, img.pixels + 12), blob);
    image_free(&img);
  }
}

TEST(ReadTiff, CompressedStripCutShortLeavesZeros) {
  Bytes rows(64);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 5 + 1);
  Bytes coded(base::lzw_encode_bound(rows.size()));
  size_t n = 0;
  ASSERT_TRUE(base::lzw_encode(rows.data(), rows.size(), coded.data(), coded.size(), &n));
  coded.resize(n / 2);  // half the code: the first rows only
  const Bytes f = tiff(false, coded, {{256, 3, 1, 8}, {257, 3, 1, 8}, {258, 3, 1, 8}, {259, 3, 1, 5}, {262, 3, 1, 1}, {273, 4, 1, 8}});
  Image img{};
  ASSERT_EQ(read(f, &img), 1) << base::last_error();
  EXPECT_EQ(img.pixels[0], 1);
  EXPECT_EQ(img.pixels[63], 0);
  image_free(&img);
}

TEST(ReadTiff, Refusals) {
  const Bytes data = ramp16();
  // The gray tags with `changes` put in (replacing a tag of the same number) and `drop` left out.
  auto file = [&](std::vector<Tag> changes, uint16_t drop = 0) {
    std::vector<Tag> tags;
    for (const Tag& t : gray_tags()) {
      if (t.tag == drop) continue;
      bool replaced = false;
      for (const Tag& c : changes) replaced |= c.tag == t.tag;
      if (!replaced) tags.push_back(t);
    }
    tags.insert(tags.end(), changes.begin(), changes.end());
    return tiff(false, data, tags);
  };
  Bytes bad_order = file({});
  bad_order[0] = 'X';
  Bytes directory_past_end = file({});
  directory_past_end[4] = 0xF0;
  Bytes too_many_entries = file({});
  too_many_entries[24] = 0x01;
  too_many_entries[25] = 0x10;  // 4097 entries
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"byte order", bad_order},
      {"too short", Bytes{'I', 'I', 42, 0}},
      {"directory past the end", directory_past_end},
      {"more entries than the limit", too_many_entries},
      {"width 0", file({{256, 3, 1, 0}})},
      {"width above 65536", file({{256, 4, 1, 65537}})},
      {"too many pixels", file({{256, 4, 1, 65536}, {257, 4, 1, 65536}})},
      {"no photometric", file({}, 262)},
      {"fax compression", file({{259, 3, 1, 3}})},
      {"JPEG compression", file({{259, 3, 1, 7}})},
      {"2 bits", file({{258, 3, 1, 2}})},
      {"extra samples", file({{277, 3, 1, 2}})},
      {"RGB of 16 bits", file({{262, 3, 1, 2}, {277, 3, 1, 3}, {258, 3, 1, 16}})},
      {"RGB in separate planes", file({{262, 3, 1, 2}, {277, 3, 1, 3}, {284, 3, 1, 2}})},
      {"predictor on uncompressed rows", file({{317, 3, 1, 2}})},
      {"no strip offsets (tiles)", file({}, 273)},
      {"strip runs past the end", file({{273, 4, 1, 100}})},  // the file has 114 bytes
      {"strip offsets past the table", file({{278, 3, 1, 1}})},
      {"strip offset table past the end", file({{273, 4, 2, 0xFFFFFF00}})},
      {"more strips than the limit", file({{273, 4, kTiffMaxStrips + 1, 8}})},
      {"compressed strip starts past the end", file({{259, 3, 1, 5}, {273, 4, 1, 4000}})},
      {"palette without map", file({{262, 3, 1, 3}})},
      {"colour map shorter than the bits need", file({{262, 3, 1, 3}, {320, 3, 3 * 255, 8}})},
      {"colour map past the end", file({{262, 3, 1, 3}, {320, 3, 3 * 256, 8}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    EXPECT_EQ(read(c.file, &img), 0);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_NE(std::string(base::last_error()), "");
  }
}

}  // namespace
}  // namespace lumra::image
