// JPEG through libjpeg: written images decode in djpeg exactly as in our reader, densities both
// ways, a caller's destination manager, the formats refused before any file exists, the scan limit.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "framework/base/error.h"
#include "framework/image/jpeg_file.h"
#include "framework/image/picture_limits.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;

Image pattern(int32_t format, int32_t width = 45, int32_t height = 29) {
  Image img{};
  image_allocate(&img, format, width, height, 0, nullptr, 0, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      // Smooth gradients: what JPEG keeps close.
      const auto u = static_cast<uint32_t>(x * 255 / width), v = static_cast<uint32_t>(y * 255 / std::max(height, 64));
      image_set_pixel(&img, x, y, format == Rgb32 ? colour_value(u, v, (u + v) / 2) : (u + v) / 2);
    }
  }
  return img;
}

TEST(SaveJpeg, DecodesInDjpegAsInOurReader) {
  TempDir dir;
  // Widths whose rows are all, some or none 32-byte aligned (the reader treats aligned rows apart).
  const struct {
    int32_t format, width, height;
  } cases[] = {{Gray8, 45, 29}, {Rgb32, 45, 29}, {Rgb32, 64, 40}, {Rgb32, 1200, 3}, {Rgb32, 8, 1}};
  for (const auto& [format, width, height] : cases) {
    SCOPED_TRACE(std::to_string(format) + ": " + std::to_string(width) + " x " + std::to_string(height));
    Image img = pattern(format, width, height);
    const std::string file = dir / ("f" + std::to_string(format) + "_" + std::to_string(width) + ".jpg");
    ASSERT_EQ(save_jpeg(&img, file.c_str(), 90, 300, 150), 1) << base::last_error();
    Image back{};
    float x = 0, y = 0;
    ASSERT_EQ(read_jpeg(&back, file.c_str(), &x, &y), 1) << base::last_error();
    EXPECT_EQ(back.format, format);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 150);
    ASSERT_EQ(shell(kPython + " " + quote(std::string(LUMRA_SOURCE_DIR) + "/tests/image/picture_fixtures.py") +
                    " --decode " + quote(file)), 0);
    EXPECT_EQ(read_bytes(file + ".rgb"), rgb_of(back));
    // Lossy, but close to what was saved.
    EXPECT_EQ(first_difference(rgb_of(back), rgb_of(img), 24), -1);
    image_free(&back);
    image_free(&img);
  }
}

TEST(SaveJpeg, NoDensityUnitWithoutBothResolutions) {
  TempDir dir;
  Image img = pattern(Gray8);
  for (const auto& [xr, yr] : {std::pair{0, 0}, std::pair{96, 0}}) {
    ASSERT_EQ(save_jpeg(&img, (dir / "d.jpg").c_str(), 75, xr, yr), 1);
    const Bytes f = read_bytes(dir / "d.jpg");
    ASSERT_GT(f.size(), 18u);
    EXPECT_EQ(f[13], 0) << "density unit";
    Image back{};
    float x = -1, y = -1;
    ASSERT_EQ(read_jpeg(&back, (dir / "d.jpg").c_str(), &x, &y), 1);
    EXPECT_EQ(x, 0);
    image_free(&back);
  }
  image_free(&img);
}

TEST(SaveJpeg, OtherFormatsRefusedWithoutAFile) {
  TempDir dir;
  for (int32_t format : {Mono1, Gray4, Indexed4, Indexed8}) {
    SCOPED_TRACE(format);
    Image img{};
    ASSERT_EQ(image_allocate(&img, format, 8, 8, 0, nullptr, 0, 0), 1);
    EXPECT_EQ(save_jpeg(&img, (dir / "no.jpg").c_str(), 75, 0, 0), 0);
    EXPECT_FALSE(exists(dir / "no.jpg"));
    image_free(&img);
  }
}

// A destination manager collecting into memory.
struct Collect {
  jpeg_destination_mgr manager;
  std::vector<uint8_t> bytes;
  uint8_t buffer[256];
};

TEST(SaveJpeg, ToACallersDestination) {
  Collect c{};
  c.manager.init_destination = [](j_compress_ptr info) {
    auto* self = reinterpret_cast<Collect*>(info->dest);
    info->dest->next_output_byte = self->buffer;
    info->dest->free_in_buffer = sizeof self->buffer;
  };
  c.manager.empty_output_buffer = [](j_compress_ptr info) -> boolean {
    auto* self = reinterpret_cast<Collect*>(info->dest);
    self->bytes.insert(self->bytes.end(), self->buffer, self->buffer + sizeof self->buffer);
    info->dest->next_output_byte = self->buffer;
    info->dest->free_in_buffer = sizeof self->buffer;
    return TRUE;
  };
  c.manager.term_destination = [](j_compress_ptr info) {
    auto* self = reinterpret_cast<Collect*>(info->dest);
    self->bytes.insert(self->bytes.end(), self->buffer, self->buffer + (sizeof self->buffer - info->dest->free_in_buffer));
  };
  Image img = pattern(Rgb32);
  ASSERT_EQ(write_jpeg(&img, "/nonexistent-folder/never.jpg", &c.manager, 80, 0, 0), 1) << base::last_error();
  Image back{};
  ASSERT_EQ(read_jpeg_memory(&back, c.bytes.data(), c.bytes.size(), nullptr, nullptr), 1) << base::last_error();
  EXPECT_EQ(back.width, 45u);
  EXPECT_EQ(back.height, 29u);
  image_free(&back);
  image_free(&img);
}

TEST(ReadJpeg, ScanLimit) {
  const std::string file = fixtures() + "/jpeg_rgb_progressive.jpg";
  Image img{};
  g_picture_limits.max_jpeg_scans = 2;
  EXPECT_EQ(read_jpeg(&img, file.c_str(), nullptr, nullptr), 0);
  EXPECT_STREQ(base::last_error(), "JPEG has more scans than the limit");
  picture_limits_reset();
  EXPECT_EQ(read_jpeg(&img, file.c_str(), nullptr, nullptr), 1);
  image_free(&img);
}

TEST(ReadJpeg, HeaderClaimingMorePixelsThanItsDataCanFillIsRefused) {
  Bytes bytes = read_bytes(fixtures() + "/jpeg_rgb_unit1.jpg");
  const uint8_t sof_marker[] = {0xFF, 0xC0}, sos_marker[] = {0xFF, 0xDA};
  const auto sof = std::search(bytes.begin(), bytes.end(), std::begin(sof_marker), std::end(sof_marker));
  const auto sos = std::search(bytes.begin(), bytes.end(), std::begin(sos_marker), std::end(sos_marker));
  ASSERT_NE(sof, bytes.end());
  ASSERT_NE(sos, bytes.end());
  // 11000 x 11000 pixels, then only the first bytes of the scan: a few hundred bytes in all.
  const size_t at = static_cast<size_t>(sof - bytes.begin());
  bytes[at + 5] = 11000 >> 8;
  bytes[at + 6] = 11000 & 255;
  bytes[at + 7] = 11000 >> 8;
  bytes[at + 8] = 11000 & 255;
  bytes.resize(static_cast<size_t>(sos - bytes.begin()) + 40);
  Image img{};
  EXPECT_EQ(read_jpeg_memory(&img, bytes.data(), bytes.size(), nullptr, nullptr), 0);
  EXPECT_STREQ(base::last_error(), "JPEG claims more pixels than its data can hold");
  EXPECT_EQ(img.pixels, nullptr);

  // A flat picture is the densest a Huffman-coded file gets, and still well inside the bound.
  Image flat{};
  ASSERT_EQ(image_allocate(&flat, Gray8, 2048, 2048, 0, nullptr, 0, 0), 1);
  image_fill(&flat, 128);
  TempDir dir;
  const std::string path = dir / "flat.jpg";
  ASSERT_EQ(write_jpeg(&flat, path.c_str(), nullptr, 10, 0, 0), 1) << base::last_error();
  EXPECT_EQ(read_jpeg(&img, path.c_str(), nullptr, nullptr), 1) << base::last_error();
  image_free(&img);
  image_free(&flat);
}

TEST(ReadJpeg, BrokenFilesFailQuietly) {
  const Bytes good = read_bytes(fixtures() + "/jpeg_rgb_unit1.jpg");
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"no start of image", Bytes(good.begin() + 2, good.end())},
      {"header cut", Bytes(good.begin(), good.begin() + 30)},
      {"not a JPEG", Bytes(200, 0x42)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    float x = -1;
    EXPECT_EQ(read_jpeg_memory(&img, c.bytes.data(), c.bytes.size(), &x, nullptr), 0);
    EXPECT_EQ(img.pixels, nullptr);
  }
}

}  // namespace
}  // namespace lumra::image
