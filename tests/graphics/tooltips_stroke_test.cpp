// Tooltips on a system without fonts: the font configuration is replaced, before anything asks it,
// by one that lists no font folders, so the popup is set in the framework's stroke font 0.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/graphics/stroke_font.h"
#include "framework/graphics/text.h"
#include "framework/graphics/tooltips.h"
#include "platform/system/fonts.h"
#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;

// Runs before main, so before the first font lookup of this program.
const bool kNoFonts = setenv("FONTCONFIG_FILE", LUMRA_TEST_DATA "/no-fonts.conf", 1) == 0;

class TooltipWithoutFonts : public testing::HeadlessSession {};

TEST_F(TooltipWithoutFonts, PopupIsSetInStrokeFontZero) {
  ASSERT_TRUE(kNoFonts);
  sys::FontFile file;
  ASSERT_FALSE(sys::find_default_font(sys::kFontWeightRegular, false, &file)) << "no font at all";
  EXPECT_EQ(install_font("DejaVu Sans", kFontSystem, 16), 0) << "nor a system font to install";

  open_splash_window();
  add_tooltip(10, 10, 60, 40, "Open the link", 0);
  hl::post(hl::mouse_move(20, 20));
  pump_messages();
  const uint32_t end = hl::now() + kTooltipInitialMs;
  while (static_cast<int32_t>(end - hl::now()) >= 0) {
    platform::wait_message(end - hl::now() + 1);
    pump_messages();
  }
  ASSERT_EQ(g_graphics.tooltips.shown_id, 1);
  EXPECT_EQ(g_graphics.tooltips.font, nullptr);
  const platform::Rect r = g_graphics.tooltips.popup_rect;
  const int32_t line = stroke_height(stroke_face_default(), stroke_scale(1, 1, false)) + 2;
  EXPECT_EQ(r.h, 3 * line + 2 * 2 + 2) << "a word a line: two are wider than a quarter window";
  int ink = 0;
  for (int32_t y = r.y + 2; y < r.y + r.h - 2; ++y) {
    for (int32_t x = r.x + 2; x < r.x + r.w - 2; ++x) ink += hl::frame_pixel(x, y) == 0x000000u;
  }
  EXPECT_GT(ink, 60) << "strokes in black on the info background";
}

}  // namespace
}  // namespace lumra::graphics
