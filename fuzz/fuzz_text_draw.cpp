// Texts from anywhere drawn and measured: the fraction markup's parser, the preparation for
// system fonts, the stroke engine and the glyph blits, on a headless 320 x 240 window. The first
// nine bytes choose the settings (font, direction, size, justification, user character size);
// the rest is the text, up to its first NUL.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/graphics/text.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using namespace lumra;

struct Fonts {
  int32_t ids[4];
};

// One window and one set of installed fonts for the whole run: each input only changes settings.
const Fonts& setup() {
  static const Fonts fonts = [] {
    platform::headless::reset();
    platform::use_backend(platform::headless::backend());
    graphics::open_window("fuzz", 320, 240, 0, 0, -1, 1);
    Fonts f{};
    f.ids[0] = 0;
    f.ids[1] = graphics::install_font("rowmant", graphics::kFontStrokeNamed, 0);
    f.ids[2] = graphics::install_font("DejaVu Sans", graphics::kFontSystem, 16);
    f.ids[3] = graphics::install_font("odd", 7, 0);
    return f;
  }();
  return fonts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Fonts& fonts = setup();
  if (size < 9) return 0;
  const int32_t font = fonts.ids[data[0] & 3];
  graphics::set_user_char_size(static_cast<int8_t>(data[5]), static_cast<int8_t>(data[6]),
                               static_cast<int8_t>(data[7]) % 16, static_cast<int8_t>(data[8]));
  graphics::set_text_style(font, data[1] & 1, data[2] % 26);
  graphics::set_text_justification(data[3] % 4, data[4] % 4);
  const std::string text(reinterpret_cast<const char*>(data + 9), size - 9);
  graphics::set_colour(15);
  graphics::draw_text(40, 200, text.c_str());
  graphics::draw_bold_text(-20, 30, text.c_str());
  (void)graphics::text_width(text.c_str());
  (void)graphics::bold_text_width(text.c_str());
  (void)graphics::text_height();
  graphics::clear_window();
  return 0;
}
