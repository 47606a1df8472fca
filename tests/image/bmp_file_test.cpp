// Windows bitmaps: the 54 header bytes written field by field, every format saved and read back
// and decoded by Pillow, colour tables by the counts in the header, and the reader's refusals.
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/image/bmp_file.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;
using base::load_u16le;
using base::load_u32le;

Image pattern(int32_t format, int32_t width, int32_t height) {
  Image img{};
  image_allocate(&img, format, width, height, 0, nullptr, 0, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = static_cast<uint32_t>(x * 37 + y * 11 + (x ^ y));
      image_set_pixel(&img, x, y, format == Rgb32 ? v * 0x20507u & 0xFFFFFF : v);
    }
  }
  return img;
}

TEST(SaveBmp, HeaderAndRowsByteForByte) {
  TempDir dir;
  Image img = pattern(Rgb32, 3, 2);
  image_set_pixel(&img, 0, 1, colour_value(1, 2, 3));
  ASSERT_EQ(save_bmp(&img, (dir / "a.bmp").c_str(), 96, 72), 1) << base::last_error();
  const Bytes f = read_bytes(dir / "a.bmp");
  ASSERT_EQ(f.size(), 54u + 2 * 12);  // 3 pixels: 9 bytes padded to 12
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  const struct {
    size_t at;
    int width;
    uint32_t value;
  } fields[] = {
      {2, 4, 78},   {6, 4, 0},  {10, 4, 54},  {14, 4, 40}, {18, 4, 3},    {22, 4, 2},  {26, 2, 1}, {28, 2, 24},
      {30, 4, 0},   {34, 4, 24}, {38, 4, 3779}, {42, 4, 2834}, {46, 4, 0}, {50, 4, 0},
  };
  for (const auto& field : fields) {
    EXPECT_EQ(field.width == 2 ? load_u16le(f.data() + field.at) : load_u32le(f.data() + field.at), field.value)
        << "offset " << field.at;
  }
  // Bottom row first: pixel (0, 1) as blue, green, red; then zero padding.
  EXPECT_EQ(Bytes(f.begin() + 54, f.begin() + 57), (Bytes{3, 2, 1}));
  EXPECT_EQ(Bytes(f.begin() + 63, f.begin() + 66), (Bytes{0, 0, 0}));
  image_free(&img);
}

TEST(SaveBmp, EveryFormatReadBackAndByPillow) {
  struct Case {
    int32_t format;
    uint16_t bits;
    uint32_t table;
  } const cases[] = {{Mono1, 1, 2}, {Gray4, 4, 16}, {Gray8, 8, 256}, {Indexed4, 4, 16}, {Indexed8, 8, 256}, {Rgb32, 24, 0}};
  TempDir dir;
  std::string command = kPython + " " + quote(std::string(LUMRA_SOURCE_DIR) + "/tests/image/picture_fixtures.py") + " --decode";
  std::vector<Bytes> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    Image img = pattern(c.format, 13, 5);
    const std::string file = dir / ("f" + std::to_string(c.format) + ".bmp");
    ASSERT_EQ(save_bmp(&img, file.c_str(), 0, 0), 1);
    const Bytes f = read_bytes(file);
    EXPECT_EQ(load_u16le(f.data() + 28), c.bits);
    EXPECT_EQ(load_u32le(f.data() + 10), 54 + 4 * c.table);
    EXPECT_EQ(load_u32le(f.data() + 50), c.table);
    Image back{};
    uint8_t header[kBmpHeaderSize];
    ASSERT_EQ(read_bmp(header, &back, file.c_str()), 1) << base::last_error();
    // Gray4's table is the window's gray ramp, a shade off level x 17: the indices are exact.
    if (c.format == Gray4) {
      EXPECT_EQ(raw_of(back), raw_of(img));
    } else {
      EXPECT_EQ(rgb_of(back), rgb_of(img));
    }
    EXPECT_EQ(Bytes(header, header + kBmpHeaderSize), Bytes(f.begin(), f.begin() + 54));
    command += " " + quote(file);
    expected.push_back(rgb_of(back));
    image_free(&back);
    image_free(&img);
  }
  ASSERT_EQ(shell(command), 0);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(read_bytes(dir / ("f" + std::to_string(cases[i].format) + ".bmp.rgb")), expected[i]) << cases[i].format;
  }
}

// A 40-byte-header bitmap of 2 x 1 pixels at 8 bits with the given colour counts and table.
Bytes small_bmp(uint32_t used, uint32_t important, uint32_t table_entries) {
  Bytes f(54, 0);
  f[0] = 'B';
  f[1] = 'M';
  base::store_u32le(f.data() + 10, 54 + 4 * table_entries);  // pixel offset
  base::store_u32le(f.data() + 14, 40);                      // header size
  base::store_u32le(f.data() + 18, 2);                       // width
  base::store_u32le(f.data() + 22, 1);                       // height
  base::store_u16le(f.data() + 26, 1);                       // planes
  base::store_u16le(f.data() + 28, 8);                       // bits
  base::store_u32le(f.data() + 46, used);
  base::store_u32le(f.data() + 50, important);
  for (uint32_t i = 0; i < table_entries; ++i) f.insert(f.end(), {static_cast<uint8_t>(i), 0, 0, 0});
  f.insert(f.end(), {1, 2, 0, 0});  // one row, padded to 4
  return f;
}

TEST(ReadBmp, ColourTableSizeFromTheHeader) {
  const struct {
    uint32_t used, important, entries;
    int16_t palette;
  } cases[] = {{0, 0, 256, 256}, {4, 0, 4, 4}, {0, 3, 3, 3}, {5, 2, 5, 5}, {300, 0, 256, 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.used) + " used, " + std::to_string(c.important) + " important");
    const Bytes f = small_bmp(c.used, c.important, c.entries);
    Image img{};
    uint8_t header[kBmpHeaderSize];
    ASSERT_EQ(read_bmp_memory(header, &img, f.data(), f.size()), 1) << base::last_error();
    EXPECT_EQ(img.paletteCount, c.palette);
    EXPECT_EQ(img.palette[2], colour_value(0, 0, 2));
    image_free(&img);
  }
}

TEST(ReadBmp, RefusalsLeaveTheImageAsItWas) {
  const Bytes good = small_bmp(0, 0, 256);
  struct Case {
    const char* name;
    size_t at;
    uint32_t value;
    int width;
  } const cases[] = {
      {"signature", 0, 'X', 1},        {"core header", 14, 12, 4},       {"header size huge", 14, 5000, 4},
      {"16 bits", 28, 16, 2},          {"run-length 4 at 8 bits", 30, 2, 4}, {"bit fields at 8 bits", 30, 3, 4},
      {"JPEG inside", 30, 4, 4},
      {"width 0", 18, 0, 4},           {"width negative", 18, 0xFFFFFFFF, 4}, {"height 0", 22, 0, 4},
      {"rows past the end", 22, 2, 4}, {"pixel offset past the end", 10, 5000, 4},
      {"table past the end", 46, 256, 4},  // still fine: 256 entries are there
      {"too many pixels", 18, 65536, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes f = good;
    if (c.width == 1) f[c.at] = static_cast<uint8_t>(c.value);
    if (c.width == 2) base::store_u16le(f.data() + c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) base::store_u32le(f.data() + c.at, c.value);
    if (std::string(c.name) == "too many pixels") base::store_u32le(f.data() + 22, 65536);
    Image img = pattern(Gray8, 3, 3);
    const uint8_t* before = img.pixels;
    uint8_t header[kBmpHeaderSize];
    const int ok = read_bmp_memory(header, &img, f.data(), f.size());
    if (std::string(c.name) == "table past the end") {
      EXPECT_EQ(ok, 1);
    } else {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(img.pixels, before);
      EXPECT_EQ(img.width, 3u);
    }
    image_free(&img);
  }
  // A table that does run past the end of the file.
  const Bytes cut(good.begin(), good.begin() + 100);
  Image img{};
  uint8_t header[kBmpHeaderSize];
  EXPECT_EQ(read_bmp_memory(header, &img, cut.data(), cut.size()), 0);
  EXPECT_STREQ(base::last_error(), "BMP colour table runs past the end of the file");
}

// A run-length bitmap of 6 x 3 pixels (bits 8 or 4) with the given code, 16-entry table.
Bytes rle_bmp(uint16_t bits, const Bytes& code) {
  Bytes f = small_bmp(16, 0, 16);
  f.resize(54 + 64);
  base::store_u32le(f.data() + 18, 6);
  base::store_u32le(f.data() + 22, 3);
  base::store_u16le(f.data() + 28, bits);
  base::store_u32le(f.data() + 30, bits == 8 ? 1 : 2);
  f.insert(f.end(), code.begin(), code.end());
  return f;
}

TEST(ReadBmp, RunLengthCodes) {
  const struct {
    const char* name;
    uint16_t bits;
    Bytes code;
    Bytes pixels;  // rows top down
  } cases[] = {
      {"8: runs, end of line, end", 8, {3, 7, 2, 9, 0, 0, 6, 5, 0, 1}, {0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 5, 5, 7, 7, 7, 9, 9, 0}},
      {"8: literal of 3, padded", 8, {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0}},
      {"8: delta right 2 and up 1", 8, {1, 8, 0, 2, 2, 1, 1, 6, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 8, 0, 0, 0, 0, 0}},
      {"8: run past the width is cut", 8, {200, 3, 1, 4, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 3, 3}},
      {"8: data ends without an end code", 8, {2, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}},
      {"8: rows past the top are dropped", 8, {0, 0, 0, 0, 0, 0, 0, 0, 4, 4}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"4: a run alternates nibbles", 4, {5, 0x12, 0, 1}, {0, 0, 0, 0, 0, 0, 0x12, 0x12, 0x10}},
      {"4: literal of 3, padded", 4, {0, 3, 0xAB, 0xC0, 0, 1}, {0, 0, 0, 0, 0, 0, 0xAB, 0xC0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes f = rle_bmp(c.bits, c.code);
    Image img{};
    uint8_t header[kBmpHeaderSize];
    ASSERT_EQ(read_bmp_memory(header, &img, f.data(), f.size()), 1) << base::last_error();
    EXPECT_EQ(img.format, c.bits == 8 ? Indexed8 : Indexed4);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + static_cast<size_t>(img.stride) * 3), c.pixels);
    image_free(&img);
  }
}

TEST(ReadBmp, TopDownRowsLoadUpright) {
  // Rows 0 and 1 of a 2 x 2 top-down bitmap: the first row in the file is the top one.
  Bytes f = small_bmp(0, 0, 256);
  base::store_u32le(f.data() + 22, static_cast<uint32_t>(-2));
  f.insert(f.end(), {7, 8, 0, 0});
  Image img{};
  uint8_t header[kBmpHeaderSize];
  ASSERT_EQ(read_bmp_memory(header, &img, f.data(), f.size()), 1) << base::last_error();
  EXPECT_EQ(img.height, 2u);
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 4), (Bytes{1, 2, 7, 8}));
  image_free(&img);
}

}  // namespace
}  // namespace lumra::image
