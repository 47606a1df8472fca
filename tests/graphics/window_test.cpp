// Opening the graphics window on the headless backend: size, maximise, minimise and monitor rules,
// the title's conversion, the back buffer and its description, failures, and how the back buffer
// reaches the frame (refresh, paint, clear, draw-through).
#include "framework/graphics/window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/input/periodic.h"
#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;

using WindowOpen = testing::HeadlessSession;

TEST_F(WindowOpen, SplashSize) {
  open_window("Lumra", 164, 314, 0, 0, -1, 0);
  ASSERT_EQ(g_graphics.gwin.opened, 0);
  EXPECT_EQ(window_width(), 164);
  EXPECT_EQ(window_height(), 314);
  EXPECT_EQ(max_x(), 163);
  EXPECT_EQ(max_y(), 313);
  const platform::WindowSpec& spec = hl::window_spec();
  EXPECT_EQ(spec.width, 163) << "the visible client area is one pixel narrower";
  EXPECT_EQ(spec.height, 313);
  EXPECT_EQ(spec.x, (1280 - 164) / 2);
  EXPECT_EQ(spec.y, (1024 - 314) / 2);
  EXPECT_FALSE(spec.maximized);
  EXPECT_FALSE(spec.borderless);
  EXPECT_EQ(g_graphics.gwin.style, kStyleOverlappedWindow);
  EXPECT_EQ(g_graphics.gwin.full_clip.right, 163);
  EXPECT_EQ(g_graphics.gwin.full_clip.bottom, 313);
  EXPECT_EQ(g_graphics.gwin.colour_count, kColourCountCode);
  EXPECT_EQ(g_graphics.gwin.draw_through, 1);
  EXPECT_EQ(g_graphics.viewport.right, 163);
  EXPECT_EQ(g_graphics.viewport.bottom, 313);
}

TEST_F(WindowOpen, SizeRules) {
  struct Case {
    const char* name;
    int32_t width, height, keep_size, full_screen;
    int32_t logical_w, logical_h;
    bool maximized, minimized, borderless;
  };
  const Case cases[] = {
      {"width 0 maximises", 0, 300, 0, 0, 1280, 1024, true, false, false},
      {"height 0 maximises", 300, 0, 0, 0, 1280, 1024, true, false, false},
      {"negative height maximises", 300, -5, 0, 0, 1280, 1024, true, false, false},
      {"within 4 pixels maximises", 1276, 1020, 0, 0, 1280, 1024, true, false, false},
      {"within 4 pixels with keep-size stays", 1276, 1020, 1, 0, 1276, 1020, false, false, false},
      {"5 pixels short stays", 1275, 1019, 0, 0, 1275, 1019, false, false, false},
      {"only one direction near stays", 1278, 500, 0, 0, 1278, 500, false, false, false},
      {"negative width minimised at screen size", -1, 300, 0, 0, 1280, 1024, false, true, false},
      {"larger than the screen is cut", 3000, 2000, 1, 0, 1280, 1024, false, false, false},
      {"full screen", 200, 200, 0, 1, 1280, 1024, true, false, true},
  };
  for (const Case& c : cases) {
    SetUp();
    open_window("t", c.width, c.height, 0, c.full_screen, -1, c.keep_size);
    ASSERT_EQ(g_graphics.gwin.opened, 0) << c.name;
    EXPECT_EQ(window_width(), c.logical_w) << c.name;
    EXPECT_EQ(window_height(), c.logical_h) << c.name;
    EXPECT_EQ(hl::window_spec().maximized, c.maximized) << c.name;
    EXPECT_EQ(hl::window_spec().minimized, c.minimized) << c.name;
    EXPECT_EQ(hl::window_spec().borderless, c.borderless) << c.name;
    EXPECT_EQ((g_graphics.gwin.style & kStyleMaximize) != 0, c.maximized || c.minimized) << c.name;
    TearDown();
  }
}

TEST_F(WindowOpen, MonitorChoice) {
  const platform::Rect displays[] = {{0, 0, 1280, 1024}, {1280, 0, 800, 600}};
  hl::set_displays(displays, 2);
  open_window("t", 200, 100, 0, 0, 1, 0);
  EXPECT_EQ(hl::window_spec().x, 1280 + (800 - 200) / 2);
  EXPECT_EQ(hl::window_spec().y, (600 - 100) / 2);
  TearDown();
  SetUp();
  hl::set_displays(displays, 2);
  open_window("t", 200, 100, 0, 0, 2, 0);
  EXPECT_EQ(hl::window_spec().x, (1280 - 200) / 2) << "an index past the displays means the primary one";
  TearDown();
  SetUp();
  hl::set_displays(displays, 2);
  open_window("t", 0, 0, 0, 0, 1, 0);
  EXPECT_EQ(window_width(), 800) << "maximised to the chosen display";
  EXPECT_EQ(window_height(), 600);
  EXPECT_EQ(hl::window_spec().x, 1280);
}

TEST_F(WindowOpen, TitlePassesFromOemToUtf8) {
  open_window("Caf\x82 \x9C", 164, 314, 0, 0, -1, 0);
  EXPECT_STREQ(hl::window_spec().title, "Caf\xC3\xA9 \xC2\xA3");
}

TEST_F(WindowOpen, OnlyTheFirstCallOpens) {
  open_window("one", 164, 314, 0, 0, -1, 0);
  open_window("two", 300, 300, 0, 0, -1, 0);
  EXPECT_STREQ(hl::window_spec().title, "one");
  EXPECT_EQ(window_width(), 164);
}

TEST_F(WindowOpen, NoDisplayStaysNotOpenedSilently) {
  hl::set_display_available(false);
  open_window("t", 164, 314, 0, 0, -1, 0);
  EXPECT_EQ(g_graphics.gwin.opened, -1);
  EXPECT_EQ(hl::message_box_count(), 0u);
  EXPECT_EQ(g_graphics.gwin.wmpaintdc.pixels, nullptr);
  refresh_all();
  clear_window();
  EXPECT_EQ(input::g_input.periodic[0].callback, nullptr) << "nothing registered without a window";
}

TEST_F(WindowOpen, BackBufferAndDescription) {
  open_splash_window();
  const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
  EXPECT_EQ(b.width, 164);
  EXPECT_EQ(b.height, 314);
  EXPECT_EQ(b.stride, 164 * 3 + 0) << "492 is a multiple of 4 already";
  const BitmapDescription* d = g_graphics.gwin.wmpaintbmp;
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->size, 40u);
  EXPECT_EQ(d->width, 164);
  EXPECT_EQ(d->height, 314);
  EXPECT_EQ(d->planes, 1);
  EXPECT_EQ(d->bit_count, 24);
  EXPECT_EQ(d->compression, 0u);
  EXPECT_EQ(input::g_input.periodic[0].callback, pump_messages) << "the bounded pump is serviced";
  EXPECT_EQ(input::g_input.periodic[0].period, 0);
}

TEST_F(WindowOpen, BufferTooLargeReportsAndGoesOn) {
  const platform::Rect huge[] = {{0, 0, 20000, 300}};
  hl::set_displays(huge, 1);
  open_window("t", 20000, 300, 0, 0, -1, 1);
  EXPECT_EQ(g_graphics.gwin.opened, 0) << "opening continues after the boxes";
  EXPECT_EQ(hl::message_box_count(), 2u);
  EXPECT_STREQ(hl::last_message_box_caption(), "Error");
  EXPECT_STREQ(hl::last_message_box_text(), "Unable to assign gwin.wmpaintbmp to dc");
  EXPECT_EQ(g_graphics.gwin.wmpaintdc.pixels, nullptr);
  refresh_all();
  clear_window();
  EXPECT_EQ(queue_code('a'), 1) << "input still works";
}

TEST_F(WindowOpen, ClearPaintsTheVisibleAreaBlack) {
  open_splash_window();
  EXPECT_EQ(hl::frame_pixel(0, 0), 0u);
  EXPECT_EQ(hl::frame_pixel(162, 312), 0u);
  buffer_fill(&g_graphics.gwin.wmpaintdc, platform::Rect{0, 0, 164, 314}, 255, 255, 255);
  refresh_all();
  EXPECT_EQ(hl::frame_pixel(162, 312), 0xFFFFFFu);
  set_viewport(10, 10, 20, 20);
  clear_window();
  EXPECT_EQ(hl::frame_pixel(0, 0), 0u);
  EXPECT_EQ(hl::frame_pixel(162, 312), 0u);
  EXPECT_EQ(g_graphics.viewport.left, 0);
  EXPECT_EQ(g_graphics.viewport.right, 163);
  const uint8_t* last_column = buffer_pixel(&g_graphics.gwin.wmpaintdc, 163, 5);
  EXPECT_EQ(last_column[0], 255) << "outside the clip region: the back buffer's last column stays";
}

TEST_F(WindowOpen, RefreshAndPaintCopyOnlyTheirArea) {
  open_splash_window();
  buffer_fill(&g_graphics.gwin.wmpaintdc, platform::Rect{0, 0, 164, 314}, 10, 20, 30);
  EXPECT_EQ(hl::frame_pixel(5, 5), 0u) << "nothing reaches the screen before a refresh";
  refresh_rect(4, 4, 2, 2);
  EXPECT_EQ(hl::frame_pixel(5, 5), 0x0A141Eu);
  EXPECT_EQ(hl::frame_pixel(6, 6), 0u);
  refresh_rect(-50, -50, 30, 30);
  refresh_rect(200, 0, 10, 10);
  refresh_rect(0, 0, -3, 5);
  EXPECT_EQ(hl::frame_pixel(0, 0), 0u);
  hl::post(hl::paint(100, 300, 50, 50));
  pump_messages();
  EXPECT_EQ(hl::frame_pixel(100, 300), 0x0A141Eu) << "a paint repaints from the back buffer";
  EXPECT_EQ(hl::frame_pixel(149, 312), 0x0A141Eu);
  EXPECT_EQ(hl::frame_pixel(150, 312), 0u);
  EXPECT_EQ(hl::frame_pixel(99, 300), 0u);
}

TEST_F(WindowOpen, DrawThroughFlag) {
  EXPECT_EQ(draw_through(), 1);
  EXPECT_EQ(set_draw_through(0), 1);
  EXPECT_EQ(draw_through(), 0);
  EXPECT_EQ(set_draw_through(1), 0);
}

TEST_F(WindowOpen, MoveRefreshesTheWindowInfo) {
  open_splash_window();
  hl::set_frame(3, 22, 3, 3);
  hl::post(platform::Message{platform::MessageKind::kMove, 0, 0, 0, 0});
  pump_messages();
  EXPECT_EQ(g_graphics.gwin.window_info.window.y, g_graphics.gwin.window_info.client.y - 22);
}

}  // namespace
}  // namespace lumra::graphics
