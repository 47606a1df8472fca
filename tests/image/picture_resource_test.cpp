// Pictures from resource packs: the viewer's own pack as mkpack built it (layout, header, the
// splash drawn into a splash-sized window), and small packs built here for the three draw forms,
// the transparency override, sizes, and missing or broken pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/memstream.h"
#include "framework/base/resource_pack.h"
#include "framework/graphics/primitives.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"
#include "framework/image/picture_resource.h"
#include "lumra_viewer_pack.h"
#include "tests/platform/headless_session.h"

namespace lumra::image {
namespace {

namespace hl = platform::headless;
using graphics::g_graphics;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBackground = colour_value(10, 20, 30);

// A pack of serialised pictures, identifiers as given (ascending).
Bytes pack_of(const std::vector<std::pair<int32_t, Bytes>>& pictures) {
  Bytes b;
  for (const auto& [id, payload] : pictures) {
    uint8_t head[9];
    base::store_u32le(head, static_cast<uint32_t>(payload.size() + 9));
    head[4] = 0;
    base::store_u32le(head + 5, static_cast<uint32_t>(id));
    b.insert(b.end(), head, head + 9);
    b.insert(b.end(), payload.begin(), payload.end());
  }
  b.insert(b.end(), 4, 0);
  return b;
}

// A 3 x 1 Gray8 picture 50, 50, 200 with the given stored transparency mode.
Bytes picture(int32_t transparency) {
  Image img{};
  EXPECT_TRUE(image_allocate(&img, Gray8, 3, 1, 0, nullptr, transparency, 0));
  const uint8_t levels[3] = {50, 50, 200};
  std::memcpy(img.pixels, levels, 3);
  base::MemStream s{};
  EXPECT_TRUE(image_save_stream(&img, &s, kStorageRaw));
  Bytes out(s.data, s.data + s.size);
  base::stream_release(&s);
  image_free(&img);
  return out;
}

TEST(ViewerPack, LayoutAsBuilt) {
  const uint8_t* p = viewer::kViewerPack;
  ASSERT_EQ(viewer::kViewerPack_size, 52551u);
  EXPECT_EQ(base::load_u32le(p), 52547u) << "the splash record's total length";
  EXPECT_EQ(p[4], 0) << "type: picture";
  EXPECT_EQ(base::load_u32le(p + 5), 1u) << "identifier 1";
  const uint8_t* header = p + 9;
  EXPECT_EQ(header[0], Indexed8);
  EXPECT_EQ(header[1] & 3, 0) << "stored unencoded";
  EXPECT_EQ(base::load_u32le(header + 6), 164u);
  EXPECT_EQ(base::load_u32le(header + 10), 314u);
  EXPECT_EQ(base::load_u16le(header + 14), 256);
  EXPECT_EQ(base::load_u16le(header + 16 + 1024), 0xFEDE);
  EXPECT_EQ(base::load_u32le(p + 52547), 0u) << "the pack ends right after the record";
}

class PictureResource : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    testing::HeadlessSession::SetUp();
    base::packs_release();
  }
  void TearDown() override {
    base::packs_release();
    testing::HeadlessSession::TearDown();
  }
};

TEST_F(PictureResource, TheSplashHeaderSizesTheWindowAndTheSplashDraws) {
  ASSERT_TRUE(base::pack_register(viewer::kViewerPack));
  uint8_t header[16];
  ASSERT_TRUE(base::pack_read_picture_header(header, 1));
  const auto width = static_cast<int32_t>(base::load_u32le(header + 6));
  const auto height = static_cast<int32_t>(base::load_u32le(header + 10));
  EXPECT_EQ(width, 164);
  EXPECT_EQ(height, 314);
  graphics::open_window("LVR viewer", width, height, 0, 0, -1, 0);
  ASSERT_EQ(g_graphics.gwin.opened, 0);
  graphics::pump_messages();
  ASSERT_TRUE(draw_picture_resource(0, 0, 1));
  EXPECT_EQ(last_draw_report().path, DrawPath::kFast);

  Image splash{};
  ASSERT_TRUE(load_picture_resource(&splash, 1));
  EXPECT_EQ(splash.format, Indexed8);
  ASSERT_EQ(splash.paletteCount, 256);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{82, 112}, std::pair{40, 270}, std::pair{162, 312}}) {
    uint32_t raw = 0, colour = 0;
    ASSERT_TRUE(image_get_pixel_colour(&splash, x, y, &raw, &colour));
    EXPECT_EQ(back(x, y), colour) << x << "," << y;
    EXPECT_EQ(hl::frame_pixel(x, y), (colour & 255) << 16 | (colour & 0xFF00) | (colour >> 16 & 255)) << x << "," << y;
  }
  image_free(&splash);
  // The window's visible area is one pixel narrower and lower than the picture.
  EXPECT_EQ(hl::frame_hash(), 0x4e4ae950a8f685a6ull) << "the splash picture changes only on purpose";
}

// The viewer makes the last 20 rows a link to the maker's web page, so the address drawn there
// must lie wholly inside them: light text on a dark band, nothing light just above it.
TEST_F(PictureResource, TheMakersAddressLiesInTheLinkBand) {
  ASSERT_TRUE(base::pack_register(viewer::kViewerPack));
  Image splash{};
  ASSERT_TRUE(load_picture_resource(&splash, 1));
  const auto light = [&](int32_t x, int32_t y) {
    uint32_t raw = 0, colour = 0;
    EXPECT_TRUE(image_get_pixel_colour(&splash, x, y, &raw, &colour));
    return (colour & 255) + (colour >> 8 & 255) + (colour >> 16 & 255) > 3 * 128;
  };
  constexpr int32_t kBandTop = 314 - 20;
  int32_t in_band = 0, light_rows = 0, leftmost = 164, rightmost = -1;
  for (int32_t y = kBandTop - 6; y < 314; ++y) {
    bool row_light = false;
    for (int32_t x = 0; x < 164; ++x) {
      if (!light(x, y)) continue;
      ASSERT_GE(y, kBandTop) << "light pixel above the link band at " << x << "," << y;
      ++in_band;
      row_light = true;
      leftmost = std::min(leftmost, x);
      rightmost = std::max(rightmost, x);
    }
    light_rows += row_light ? 1 : 0;
  }
  EXPECT_FALSE(light(0, 313)) << "a margin under the underline";
  image_free(&splash);
  // "http://lumra.example.org/" in five-pixel letters, underlined: 25 letters across most of the width.
  EXPECT_GT(in_band, 300);
  EXPECT_GE(light_rows, 9) << "letters with descenders and an underline";
  EXPECT_LE(leftmost, 10);
  EXPECT_GE(rightmost, 153);
}

TEST_F(PictureResource, TransparencyOverride) {
  struct Case {
    const char* name;
    int32_t stored;       // the picture's own transparency mode
    int32_t argument;     // -1 keeps it
    const char* expected; // '.' stays the background
  };
  const Case cases[] = {
      {"-1 keeps none", 0, -1, "ooo"},
      {"-1 keeps mode 2", 2, -1, "..o"},
      {"18 sets 2", 0, 18, "..o"},
      {"0 switches it off", 2, 0, "ooo"},
      {"4 with index 0 hides nothing here", 0, 4, "ooo"},
  };
  graphics::open_window("Lumra", 64, 32, 0, 0, -1, 1);
  ASSERT_EQ(g_graphics.gwin.opened, 0);
  for (const Case& c : cases) {
    const Bytes pack = pack_of({{5, picture(c.stored)}});
    ASSERT_TRUE(base::pack_register(pack.data()));
    graphics::fill_rectangle_rgb(0, 0, kBackground, 64, 32);
    ASSERT_TRUE(draw_picture_resource(2, 3, 5, c.argument)) << c.name;
    const uint32_t levels[3] = {50, 50, 200};
    for (int32_t x = 0; x < 3; ++x) {
      const uint32_t expected = c.expected[x] == 'o' ? colour_value(levels[x], levels[x], levels[x]) : kBackground;
      EXPECT_EQ(back(2 + x, 3), expected) << c.name << " pixel " << x;
    }
    base::packs_release();
  }
}

TEST_F(PictureResource, EntryFormsSizesAndFailures) {
  graphics::open_window("Lumra", 64, 32, 0, 0, -1, 1);
  Bytes broken = picture(0);
  broken.resize(broken.size() - 1);  // one pixel short
  const Bytes pack = pack_of({{5, picture(0)}, {6, broken}});
  ASSERT_TRUE(base::pack_register(pack.data()));
  graphics::fill_rectangle_rgb(0, 0, kBackground, 64, 32);
  ASSERT_TRUE(draw_picture_resource(0, 0, 5, -1, 6, 0));
  EXPECT_EQ(last_draw_report().draw_width, 6);
  EXPECT_EQ(last_draw_report().draw_height, 2);
  EXPECT_EQ(back(5, 1), colour_value(200, 200, 200));
  ASSERT_TRUE(draw_picture_resource(0, 10, 5));
  EXPECT_EQ(back(2, 10), colour_value(200, 200, 200));
  const uint64_t before = hl::frame_hash();
  EXPECT_FALSE(draw_picture_resource(0, 20, 7)) << "missing";
  EXPECT_FALSE(draw_picture_resource(0, 20, 6)) << "unreadable";
  EXPECT_FALSE(draw_picture_resource(0, 20, 100071, 0)) << "an icon this program does not carry";
  EXPECT_EQ(hl::frame_hash(), before);
  Image img{};
  EXPECT_FALSE(load_picture_resource(&img, 6));
  EXPECT_EQ(img.pixels, nullptr);
  ASSERT_TRUE(load_picture_resource(&img, 5));
  EXPECT_EQ(img.width, 3u);
  EXPECT_FALSE(load_picture_resource(&img, 7));
  EXPECT_EQ(img.pixels, nullptr) << "a failed load leaves the image empty";
}

}  // namespace
}  // namespace lumra::image
