// The raster image record: its stored-header layout, strides, allocation limits and flags, copy,
// pixel access in every format, drawn colours, fills and the record's life cycle.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/base/heap.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"

namespace lumra::image {
namespace {

constexpr uint32_t kWhite = colour_value(255, 255, 255);

TEST(ImageRecord, StoredHeaderLayout) {
  Image img{};
  img.format = Indexed8;
  img.flags = 0x0D;  // storage 1, transparency 3
  img.reserved[3] = 0x77;
  img.width = 0x04030201;
  img.height = 0x08070605;
  img.paletteCount = 0x0A09;
  const uint8_t expected[kHeaderSize] = {
      4, 0x0D,            // format, flags
      0, 0, 0, 0x77,      // reserved
      1, 2, 3, 4,         // width, little-endian at offset 6
      5, 6, 7, 8,         // height at offset 10
      0x09, 0x0A,         // palette count at offset 14
  };
  uint8_t stored[kHeaderSize];
  image_header_store(&img, stored);
  EXPECT_EQ(0, std::memcmp(stored, expected, kHeaderSize));
  Image back{};
  back.keyColour = 5;
  image_header_load(expected, &back);
  EXPECT_EQ(back.format, Indexed8);
  EXPECT_EQ(back.flags, 0x0D);
  EXPECT_EQ(back.reserved[3], 0x77);
  EXPECT_EQ(back.width, 0x04030201u);
  EXPECT_EQ(back.height, 0x08070605u);
  EXPECT_EQ(back.paletteCount, 0x0A09);
  EXPECT_EQ(back.keyColour, 5u) << "only the header fields";
  EXPECT_EQ(storage_mode(&img), 1);
  EXPECT_EQ(transparency_mode(&img), 3);
}

TEST(ImageRecord, SignedFlagFields) {
  struct Case {
    uint8_t flags;
    int32_t storage, transparency;
  };
  const Case cases[] = {
      {0x00, 0, 0}, {0x01, 1, 0}, {0x02, -2, 0}, {0x03, -1, 0}, {0x1C, 0, 7}, {0x20, 0, -8}, {0x3C, 0, -1}, {0xC6, -2, 1},
  };
  for (const Case& c : cases) {
    Image img{};
    img.flags = c.flags;
    EXPECT_EQ(storage_mode(&img), c.storage) << int(c.flags);
    EXPECT_EQ(transparency_mode(&img), c.transparency) << int(c.flags);
  }
  Image img{};
  img.flags = 0xC1;
  set_transparency_mode(&img, 18);  // low four bits: 2
  EXPECT_EQ(img.flags, 0xC9);
  set_transparency_mode(&img, -1);
  EXPECT_EQ(transparency_mode(&img), -1);
  EXPECT_EQ(storage_mode(&img), 1);
}

TEST(ImageRecord, StridesByFormat) {
  struct Case {
    int32_t format;
    int64_t width, stride;
  };
  const Case cases[] = {
      {Mono1, 1, 1},    {Mono1, 8, 1},     {Mono1, 9, 2},      {Gray4, 1, 1},     {Gray4, 3, 2},  {Gray8, 7, 7},
      {Indexed4, 4, 2}, {Indexed4, 5, 3},  {Indexed8, 65536, 65536}, {Rgb32, 3, 12}, {Rgb32, 65536, 262144},
      {6, 10, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(image_stride(c.format, c.width), c.stride) << c.format << " " << c.width;
}

TEST(ImageRecord, AllocateLimitsAndFields) {
  struct Case {
    const char* name;
    int32_t format, width, height;
    int expected;
  };
  const Case cases[] = {
      {"65537 wide", Gray8, 65537, 1, 0},   {"65537 high", Gray8, 1, 65537, 0}, {"negative width", Gray8, -1, 1, 0},
      {"format 6", 6, 1, 1, 0},             {"format -1", -1, 1, 1, 0},        {"65536 wide", Mono1, 65536, 2, 1},
      {"zero size", Rgb32, 0, 0, 1},        {"one pixel", Rgb32, 1, 1, 1},
  };
  for (const Case& c : cases) {
    Image img{};
    EXPECT_EQ(image_allocate(&img, c.format, c.width, c.height, 0, nullptr, 0, 0), c.expected) << c.name;
    image_free(&img);
  }
  const uint32_t palette[3] = {1, 2, 3};
  Image img{};
  img.flags = 0xC0;  // bits 6-7 stay as they were
  img.fastStretch = 1;
  ASSERT_TRUE(image_allocate(&img, Indexed4, 5, 3, 3, palette, 0x12, 0x06));
  EXPECT_EQ(img.format, Indexed4);
  EXPECT_EQ(img.width, 5u);
  EXPECT_EQ(img.height, 3u);
  EXPECT_EQ(img.stride, 3);
  EXPECT_EQ(img.flags, 0xC0 | 2 << 2 | 2);
  EXPECT_EQ(img.paletteCount, 3);
  ASSERT_NE(img.palette, palette);
  EXPECT_EQ(img.palette[2], 3u);
  EXPECT_EQ(img.fastStretch, 0u);
  EXPECT_EQ(img.ditherCache, nullptr);
  EXPECT_EQ(base::heap_block_size(img.pixels), 9u);
  EXPECT_TRUE(image_is_valid(&img));
  image_free(&img);
  EXPECT_FALSE(image_is_valid(&img));
  EXPECT_EQ(img.palette, nullptr);
  EXPECT_EQ(img.paletteCount, 0);

  Image no_palette{};
  ASSERT_TRUE(image_allocate(&no_palette, Indexed8, 2, 2, 4, nullptr, 0, 0));
  EXPECT_EQ(no_palette.palette, nullptr) << "a count without a pointer gives no palette";
  EXPECT_EQ(no_palette.paletteCount, 0);
  image_free(&no_palette);
}

TEST(ImageRecord, ZeroSizedImagesAreNotValid) {
  Image img{};
  ASSERT_TRUE(image_allocate(&img, Gray8, 0, 5, 0, nullptr, 0, 0));
  EXPECT_FALSE(image_is_valid(&img));
  EXPECT_EQ(img.pixels, nullptr);
  image_free(&img);
}

TEST(ImageRecord, CopyTakesEverythingButTheCaches) {
  const uint32_t palette[2] = {colour_value(10, 20, 30), colour_value(40, 50, 60)};
  Image src{};
  ASSERT_TRUE(image_allocate(&src, Mono1, 12, 2, 2, palette, 4, 1));
  image_fill(&src, 0);
  image_set_pixel(&src, 11, 1, 1);
  src.keyColour = 0x123456;
  src.transparentIndex = 1;
  src.flags |= 0x40;
  Image dst{};
  ASSERT_TRUE(image_allocate(&dst, Rgb32, 3, 3, 0, nullptr, 0, 0));  // released by the copy
  ASSERT_TRUE(image_copy(&dst, &src));
  EXPECT_EQ(dst.format, Mono1);
  EXPECT_EQ(dst.flags, src.flags);
  EXPECT_EQ(dst.keyColour, 0x123456u);
  EXPECT_EQ(dst.transparentIndex, 1u);
  ASSERT_EQ(dst.paletteCount, 2);
  EXPECT_EQ(dst.palette[1], palette[1]);
  EXPECT_EQ(0, std::memcmp(dst.pixels, src.pixels, 4));
  EXPECT_TRUE(image_copy(&dst, &dst));
  image_free(&src);
  EXPECT_FALSE(image_copy(&dst, &src)) << "a source without pixels";
  image_free(&dst);
}

TEST(ImageRecord, DestroyReleasesTheRecordOnlyWhenAsked) {
  Image* heap = image_new();
  ASSERT_NE(heap, nullptr);
  ASSERT_TRUE(image_allocate(heap, Gray8, 4, 4, 0, nullptr, 0, 0));
  const size_t before = base::heap_stats(0).blocks_in_use;
  image_destroy(heap, 1);
  EXPECT_EQ(base::heap_stats(0).blocks_in_use, before - 2);
  Image local{};
  ASSERT_TRUE(image_allocate(&local, Gray8, 4, 4, 0, nullptr, 0, 0));
  image_destroy(&local, 0);
  EXPECT_EQ(local.pixels, nullptr);
}

TEST(ImagePixels, SetAndGetInEveryFormat) {
  struct Case {
    int32_t format;
    int32_t x, y;
    uint32_t value, read_back;
    std::vector<uint8_t> row0;  // bytes of row 0 after the store into a zeroed 10 x 2 image
  };
  const Case cases[] = {
      {Mono1, 0, 0, 1, 1, {0x80, 0x00}},
      {Mono1, 9, 0, 3, 1, {0x00, 0x40}},
      {Mono1, 2, 0, 2, 0, {0x00, 0x00}},
      {Gray4, 0, 0, 0x1A, 0xA, {0xA0, 0, 0, 0, 0}},
      {Indexed4, 3, 0, 7, 7, {0x00, 0x07, 0, 0, 0}},
      {Gray8, 4, 0, 0x1FF, 0xFF, {0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0}},
      {Indexed8, 9, 1, 5, 5, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {Rgb32, 1, 0, 0xAABBCCDD, 0xAABBCCDD, {0, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA}},
  };
  for (const Case& c : cases) {
    Image img{};
    ASSERT_TRUE(image_allocate(&img, c.format, 10, 2, 0, nullptr, 0, 0));
    std::memset(img.pixels, 0, static_cast<size_t>(img.stride) * 2);
    image_set_pixel(&img, c.x, c.y, c.value);
    uint32_t v = 0;
    ASSERT_TRUE(image_get_pixel(&img, c.x, c.y, &v));
    EXPECT_EQ(v, c.read_back) << c.format;
    for (size_t i = 0; i < c.row0.size(); ++i) EXPECT_EQ(img.pixels[i], c.row0[i]) << c.format << " byte " << i;
    // Outside: ignored by set, reported by get.
    for (const auto& [x, y] : {std::pair{-1, 0}, std::pair{10, 0}, std::pair{0, 2}, std::pair{0, -1}}) {
      image_set_pixel(&img, x, y, 1);
      EXPECT_FALSE(image_get_pixel(&img, x, y, &v));
    }
    image_free(&img);
  }
}

TEST(ImagePixels, NibbleAndBitNeighboursStay) {
  Image img{};
  ASSERT_TRUE(image_allocate(&img, Gray4, 2, 1, 0, nullptr, 0, 0));
  img.pixels[0] = 0x5A;
  image_set_pixel(&img, 1, 0, 3);
  EXPECT_EQ(img.pixels[0], 0x53);
  image_set_pixel(&img, 0, 0, 0xC);
  EXPECT_EQ(img.pixels[0], 0xC3);
  image_free(&img);
  ASSERT_TRUE(image_allocate(&img, Mono1, 8, 1, 0, nullptr, 0, 0));
  img.pixels[0] = 0xFF;
  image_set_pixel(&img, 3, 0, 0);
  EXPECT_EQ(img.pixels[0], 0xEF);
  image_free(&img);
}

TEST(ImagePixels, DrawnColours) {
  const uint32_t palette[2] = {colour_value(1, 2, 3), colour_value(4, 5, 6) | 0xFF000000u};
  struct Case {
    const char* name;
    int32_t format;
    bool with_palette;
    uint32_t value;
    uint32_t raw, colour;
  };
  const Case cases[] = {
      {"mono 0 black", Mono1, false, 0, 0, 0},
      {"mono 1 white", Mono1, false, 1, 1, kWhite},
      {"mono through palette", Mono1, true, 1, 1, colour_value(4, 5, 6)},
      {"gray4 level 1", Gray4, true, 1, 1, colour_value(17, 17, 17)},
      {"gray4 level 15", Gray4, false, 15, 15, kWhite},
      {"gray8", Gray8, false, 77, 77, colour_value(77, 77, 77)},
      {"indexed4 window colour 1", Indexed4, false, 1, 1, colour_value(0, 0, 190)},
      {"indexed8 window colour 8", Indexed8, false, 8, 8, colour_value(129, 129, 129)},
      {"indexed8 cube 33", Indexed8, false, 33, 33, colour_value(0, 0, 48)},
      {"indexed through palette", Indexed8, true, 0, 0, colour_value(1, 2, 3)},
      {"index past the palette", Indexed8, true, 15, 15, kWhite},
      {"rgb white is 0xFFFF", Rgb32, false, 0xFFFFFFFF, 0xFFFF, kWhite},
      {"rgb black is 0", Rgb32, false, 0x01000000, 0, 0},
      {"rgb red", Rgb32, false, colour_value(255, 0, 0), 0xF800, colour_value(255, 0, 0)},
  };
  for (const Case& c : cases) {
    Image img{};
    ASSERT_TRUE(image_allocate(&img, c.format, 2, 2, c.with_palette ? 2 : 0, palette, 0, 0));
    image_set_pixel(&img, 1, 1, c.value);
    uint32_t raw = 0, colour = 0;
    ASSERT_TRUE(image_get_pixel_colour(&img, 1, 1, &raw, &colour));
    EXPECT_EQ(raw, c.raw) << c.name;
    EXPECT_EQ(colour, c.colour) << c.name;
    EXPECT_FALSE(image_get_pixel_colour(&img, 2, 1, &raw, &colour));
    image_free(&img);
  }
}

TEST(ImagePixels, Fills) {
  struct Case {
    int32_t format;
    uint32_t value;
    uint8_t byte;
  };
  const Case cases[] = {
      {Mono1, 0, 0x00}, {Mono1, 7, 0xFF}, {Gray4, 0x13, 0x33}, {Indexed4, 9, 0x99}, {Gray8, 0x1AB, 0xAB}, {Indexed8, 3, 3},
  };
  for (const Case& c : cases) {
    Image img{};
    ASSERT_TRUE(image_allocate(&img, c.format, 13, 3, 0, nullptr, 0, 0));
    image_fill(&img, c.value);
    for (int32_t i = 0; i < img.stride * 3; ++i) ASSERT_EQ(img.pixels[i], c.byte) << c.format;
    image_free(&img);
  }
  Image rgb{};
  ASSERT_TRUE(image_allocate(&rgb, Rgb32, 3, 2, 0, nullptr, 0, 0));
  std::memset(rgb.pixels, 0x11, 24);
  image_fill(&rgb, 0);
  EXPECT_EQ(rgb.pixels[0], 0x11) << "Rgb32 has its own fill";
  image_fill_rgb(&rgb, 0x00ABCDEF);
  for (int32_t x = 0; x < 3; ++x) {
    uint32_t v = 0;
    ASSERT_TRUE(image_get_pixel(&rgb, x, 1, &v));
    EXPECT_EQ(v, 0x00ABCDEFu);
  }
  image_free(&rgb);
}

}  // namespace
}  // namespace lumra::image
