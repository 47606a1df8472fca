// TIFF: the description a fixture yields, exact small files built entry by entry in either byte
// order (value fields, colour maps, strip tables), compressed strips cut short or tiny, old-style
// LZW, 16-bit samples, alpha dropped or flattened, tiles, and the refusals.
#include <zlib.h>

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
      {"16-bit values, not multiples of 256: high bytes", one_bit({0x12FF, 0xAB34, 0x3401, 0xCDCD, 0x5680, 0xEF7F}), Mono1, 2,
       colour_value(0xAB, 0xCD, 0xEF)},
      {"one value of 256, in blue only: high bytes everywhere", one_bit({0x12, 0xAB, 0x34, 0xCD, 0x56, 0x100}), Mono1, 2,
       colour_value(0, 0, 1)},
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

// A one-pixel picture in one strip per row: each coded strip is longer than twice the byte it
// holds (LZW: clear, one code, end; deflate: its header and check sum), and still decodes.
TEST(ReadTiff, TinyCompressedStrips) {
  Bytes lzw(base::lzw_encode_bound(1));
  size_t n = 0;
  const uint8_t pixel = 0x9C;
  ASSERT_TRUE(base::lzw_encode(&pixel, 1, lzw.data(), lzw.size(), &n));
  lzw.resize(n);
  ASSERT_GT(lzw.size(), 2u);
  uLongf deflated_size = 64;
  Bytes deflated(deflated_size);
  ASSERT_EQ(compress(deflated.data(), &deflated_size, &pixel, 1), Z_OK);
  deflated.resize(deflated_size);
  for (const auto& [compression, strip] : {std::pair<uint32_t, Bytes>{5, lzw}, {8, deflated}}) {
    SCOPED_TRACE(compression);
    Image img{};
    ASSERT_EQ(read(tiff(true, strip, {{256, 3, 1, 1}, {257, 3, 1, 1}, {258, 3, 1, 8}, {259, 3, 1, compression},
                                      {262, 3, 1, 1}, {273, 4, 1, 8}}),
                   &img),
              1)
        << base::last_error();
    EXPECT_EQ(img.pixels[0], pixel);
    image_free(&img);
  }
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
      {"extra samples on 4 bits", file({{277, 3, 1, 2}, {258, 3, 1, 4}})},
      {"extra samples on a palette", file({{262, 3, 1, 3}, {277, 3, 1, 2}})},
      {"palette of 16 bits", file({{262, 3, 1, 3}, {258, 3, 1, 16}})},
      {"RGB of 4 bits", file({{262, 3, 1, 2}, {277, 3, 1, 3}, {258, 3, 1, 4}})},
      {"RGB of two samples", file({{262, 3, 1, 2}, {277, 3, 1, 2}})},
      {"floating-point samples", file({{339, 3, 1, 3}})},
      {"gray and alpha in separate planes", file({{277, 3, 1, 2}, {284, 3, 1, 2}})},
      {"CMYK", file({{262, 3, 1, 5}})},
      {"LogLuv compression", file({{259, 3, 1, 34676}})},
      {"predictor on 4-bit samples", file({{258, 3, 1, 4}, {259, 3, 1, 5}, {317, 3, 1, 2}})},
      {"floating-point predictor", file({{259, 3, 1, 8}, {317, 3, 1, 3}})},
      {"LZW strip of neither form", file({{259, 3, 1, 5}})},  // the strip starts 0x01 0x11
      {"RGB in separate planes", file({{262, 3, 1, 2}, {277, 3, 1, 3}, {284, 3, 1, 2}})},
      {"predictor on uncompressed rows", file({{317, 3, 1, 2}})},
      {"no strip or tile offsets", file({}, 273)},
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

// Old-style LZW: codes least significant bit first, told apart from TIFF 6.0's form by the first
// bytes of the strip.
TEST(ReadTiff, OldStyleLzwStrips) {
  // 8 x 2 gray: clear, 'a' 'b' 'c' 'd', then 258 ("ab") six times, end; 9-bit codes LSB first.
  std::vector<uint32_t> codes = {256, 'a', 'b', 'c', 'd', 258, 258, 258, 258, 258, 258, 257};
  Bytes strip;
  uint64_t acc = 0;
  int count = 0;
  for (uint32_t c : codes) {
    acc |= uint64_t{c} << count;
    count += 9;
    while (count >= 8) {
      strip.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      count -= 8;
    }
  }
  if (count) strip.push_back(static_cast<uint8_t>(acc));
  ASSERT_EQ(strip[0], 0);
  ASSERT_EQ(strip[1] & 1, 1);
  std::vector<Tag> tags = gray_tags();
  tags[3] = {259, 3, 1, 5};
  tags[6] = {279, 4, 1, static_cast<uint32_t>(strip.size())};
  Image img{};
  ASSERT_EQ(read(tiff(false, strip, tags), &img), 1) << base::last_error();
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 16), Bytes({'a', 'b', 'c', 'd', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}));
  image_free(&img);
}

// 16-bit samples keep their high byte in either byte order; the predictor adds whole 16-bit
// samples (a carry from the low byte shows in the high one).
TEST(ReadTiff, SixteenBitSamples) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    Bytes strip;
    for (uint16_t v : {0x12AB, 0xCD01}) {
      if (big) strip.insert(strip.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
      else strip.insert(strip.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    }
    Image img{};
    ASSERT_EQ(read(tiff(big, strip, {{256, 3, 1, 2}, {257, 3, 1, 1}, {258, 3, 1, 16}, {262, 3, 1, 1}, {273, 4, 1, 8}}), &img), 1)
        << base::last_error();
    EXPECT_EQ(img.format, Gray8);
    EXPECT_EQ(img.pixels[0], 0x12);
    EXPECT_EQ(img.pixels[1], 0xCD);
    image_free(&img);
  }
  // Differences 0x00FF and 0x0001 add up to 0x0100: the high byte is 1.
  Bytes rows = {0xFF, 0x00, 0x01, 0x00};
  Bytes coded(base::lzw_encode_bound(rows.size()));
  size_t n = 0;
  ASSERT_TRUE(base::lzw_encode(rows.data(), rows.size(), coded.data(), coded.size(), &n));
  coded.resize(n);
  Image img{};
  ASSERT_EQ(read(tiff(false, coded, {{256, 3, 1, 2}, {257, 3, 1, 1}, {258, 3, 1, 16}, {259, 3, 1, 5}, {262, 3, 1, 1},
                                     {273, 4, 1, 8}, {317, 3, 1, 2}}),
                 &img),
            1)
      << base::last_error();
  EXPECT_EQ(img.pixels[0], 0x00);
  EXPECT_EQ(img.pixels[1], 0x01);
  image_free(&img);
}

// Alpha: dropped without a background; with one, a transparent pixel is exactly the background
// and an opaque one exactly its own colour, at 8 and 16 bits, RGB and gray, on white, 808080 and
// 204060; half coverage is round((v a + b (top - a)) / top), worked out by hand. Associated alpha
// has the colour scaled already.
TEST(ReadTiff, AlphaDroppedOrFlattened) {
  // Pixels (200, 100, 50) transparent, opaque, and at alpha 128 (32896 at 16 bits).
  const auto rgba = [](int bits, uint32_t extra_use) {
    Bytes strip;
    const uint32_t half = bits == 8 ? 128 : 32896, top = bits == 8 ? 255 : 65535;
    for (uint32_t a : {0u, top, half}) {
      for (uint32_t v : {200u, 100u, 50u, a}) {
        if (bits == 16 && v != a) v = v * 257;
        if (bits == 8) strip.push_back(static_cast<uint8_t>(v));
        else strip.insert(strip.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
      }
    }
    // BitsPerSample as four SHORTs at offset 8 + strip size.
    const auto bits_at = static_cast<uint32_t>(8 + strip.size());
    for (int i = 0; i < 4; ++i) strip.insert(strip.end(), {static_cast<uint8_t>(bits), 0});
    return tiff(false, strip, {{256, 3, 1, 3}, {257, 3, 1, 1}, {258, 3, 4, bits_at}, {262, 3, 1, 2}, {273, 4, 1, 8},
                               {277, 3, 1, 4}, {338, 3, 1, extra_use}});
  };
  const auto gray_alpha = [](uint32_t extra_use) {
    return tiff(false, Bytes{90, 0, 90, 255, 90, 128},
                {{256, 3, 1, 3}, {257, 3, 1, 1}, {258, 3, 2, 8 | 8 << 16}, {262, 3, 1, 1}, {273, 4, 1, 8}, {277, 3, 1, 2},
                 {338, 3, 1, extra_use}});
  };
  const uint32_t white = 0xFFFFFF, mid_gray = 0x808080, bluish = 0x604020;  // colour values: red lowest
  struct Case {
    const char* name;
    Bytes file;
    const uint32_t* background;
    Bytes expected;  // the pixels' bytes
  } const cases[] = {
      {"RGBA 8, dropped", rgba(8, 2), nullptr, {200, 100, 50, 0, 200, 100, 50, 0, 200, 100, 50, 0}},
      {"RGBA 8 on white", rgba(8, 2), &white, {255, 255, 255, 0, 200, 100, 50, 0, 227, 177, 152, 0}},
      {"RGBA 8 on 808080", rgba(8, 2), &mid_gray, {128, 128, 128, 0, 200, 100, 50, 0, 164, 114, 89, 0}},
      {"RGBA 8 on 204060", rgba(8, 2), &bluish, {0x20, 0x40, 0x60, 0, 200, 100, 50, 0, 116, 82, 73, 0}},
      {"RGBA 16 on white", rgba(16, 2), &white, {255, 255, 255, 0, 200, 100, 50, 0, 228, 177, 152, 0}},
      {"RGBA 16 on 204060", rgba(16, 2), &bluish, {0x20, 0x40, 0x60, 0, 200, 100, 50, 0, 116, 82, 73, 0}},
      {"unspecified extra sample: never alpha", rgba(8, 0), &white, {200, 100, 50, 0, 200, 100, 50, 0, 200, 100, 50, 0}},
      {"associated alpha on white", rgba(8, 1), &white, {255, 255, 255, 0, 200, 100, 50, 0, 255, 227, 177, 0}},
      {"gray alpha, dropped", gray_alpha(2), nullptr, {90, 90, 90}},
      {"gray alpha on white", gray_alpha(2), &white, {255, 90, 172}},
      {"gray alpha on 204060 (its luminance 57)", gray_alpha(2), &bluish, {57, 90, 74}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    TiffDescription d{};
    ASSERT_EQ(read_tiff_memory(&d, &img, c.file.data(), c.file.size(), c.background), 1) << base::last_error();
    EXPECT_EQ(Bytes(img.pixels, img.pixels + c.expected.size()), c.expected);
    image_free(&img);
  }
}

// Tiles: 16 x 16 tiles over a 20 x 3 picture (two tiles across, clipped right and below), and
// tile tables the file cannot back refused before anything is allocated.
TEST(ReadTiff, Tiles) {
  Bytes blob(2 * 256);
  for (size_t i = 0; i < 256; ++i) {
    blob[i] = static_cast<uint8_t>(i);              // tile 0: row r, column c holds 16 r + c
    blob[256 + i] = static_cast<uint8_t>(255 - i);  // tile 1
  }
  const auto file = [&](uint32_t tile_width, uint32_t offsets_at, uint32_t offset_count) {
    Bytes b = blob;
    for (uint32_t o : {8u, 8u + 256}) {
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(o >> (8 * i)));
    }
    return tiff(false, b, {{256, 3, 1, 20}, {257, 3, 1, 3}, {258, 3, 1, 8}, {262, 3, 1, 1}, {322, 4, 1, tile_width},
                           {323, 3, 1, 16}, {324, 4, offset_count, offsets_at}});
  };
  Image img{};
  ASSERT_EQ(read(file(16, 8 + 512, 2), &img), 1) << base::last_error();
  ASSERT_EQ(img.width, 20u);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < 20; ++x) {
      const uint8_t expected = x < 16 ? static_cast<uint8_t>(16 * y + x) : static_cast<uint8_t>(255 - (16 * y + x - 16));
      ASSERT_EQ(img.pixels[y * img.stride + x], expected) << x << ", " << y;
    }
  }
  image_free(&img);
  const struct {
    const char* name;
    Bytes file;
    const char* reason;
  } refused[] = {
      {"tile offsets past the end", file(16, 0xFFFF0000, 2), "offsets run past the end"},
      {"a tile past the end", [&] {
         Bytes f = file(16, 8 + 512, 2);
         f[8 + 512 + 4] = 0xF0;  // the second tile's offset
         return f;
       }(), "runs past the end"},
      {"fewer tile offsets than tiles", file(16, 8 + 512, 1), "fewer tile offsets"},
      {"tile width not a multiple of 16", file(17, 8 + 512, 2), "multiples of 16"},
      {"tiles far larger than the picture", file(4096 * 4096, 8 + 512, 2), "far larger"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    Image none{};
    EXPECT_EQ(read(c.file, &none), 0);
    EXPECT_EQ(none.pixels, nullptr);
    EXPECT_NE(std::string(base::last_error()).find(c.reason), std::string::npos) << base::last_error();
  }
}

}  // namespace
}  // namespace lumra::image
