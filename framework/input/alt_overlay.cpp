// The Alt-hold overlay: the window is captured, drawn back at half brightness with the areas' items
// framed, and put back from the capture when the hold ends.
#include "framework/input/alt_overlay.h"

#include "framework/graphics/draw_state.h"
#include "framework/graphics/key_queue.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/text.h"
#include "framework/graphics/viewport.h"
#include "framework/graphics/window.h"
#include "framework/image/capture.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/resample.h"
#include "framework/input/clickable_areas.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "framework/input/key_names.h"
#include "framework/input/keyboard.h"
#include "platform/keys.h"
#include "platform/platform.h"

namespace lumra::input {
namespace {

constexpr double kDarken = -0.5;
constexpr int32_t kBlack = 0;
constexpr int32_t kWhite = 15;
constexpr int32_t kLabelTop = 8;

bool alt_alone() { return static_cast<uint32_t>(graphics::read_input(2)) == platform::kModAlt; }

int32_t held_for() { return static_cast<int32_t>(read_clock() - g_keyboard.alt_start); }

// One pass of the overlay's waits: the idle yield, then sleep until a message or `ms` pass.
void wait_a_little(int32_t ms) {
  idle_yield();
  platform::wait_message(ms > 0 ? static_cast<uint32_t>(ms) : 0);
}

void set_colours(int32_t c) {
  graphics::set_colour(c);
  graphics::set_text_colour(c);
}

// White text outlined in black: four black copies a pixel off, then the white one.
void draw_outlined(int32_t x, int32_t y, const char* text) {
  set_colours(kBlack);
  graphics::draw_text(x - 1, y, text);
  graphics::draw_text(x + 1, y, text);
  graphics::draw_text(x, y - 1, text);
  graphics::draw_text(x, y + 1, text);
  set_colours(kWhite);
  graphics::draw_text(x, y, text);
}

// Each item with a hot key, in a viewport that is its rectangle grown by two pixels on each side:
// a two-pixel white frame, and the key's name centred at the top.
void label_items() {
  const int32_t n = area_item_count();
  for (int32_t i = 0; i < n; ++i) {
    const AreaItem item = area_item(i);
    if (!item.key || item.rect.x <= 0 || item.rect.y <= 0) continue;
    const int32_t w = item.rect.w + 5, h = item.rect.h + 5;
    graphics::set_viewport(item.rect.x - 2, item.rect.y - 2, item.rect.x - 2 + w - 1, item.rect.y - 2 + h - 1);
    set_colours(kWhite);
    graphics::rectangle(0, 0, w - 1, h - 1);
    graphics::rectangle(1, 1, w - 2, h - 2);
    char name[kKeyNameMax + 1];
    if (key_name(item.key, name, sizeof name)) draw_outlined(w / 2, kLabelTop, name);
  }
}

void show_overlay() {
  // Drawn on screen whatever the program's draw-through setting, and with its viewport, colours
  // and text justification given back afterwards.
  const int32_t draw_through = graphics::set_draw_through(1);
  const graphics::Viewport viewport = graphics::get_viewport();
  const int32_t colour = graphics::get_colour();
  const uint32_t text_colour = graphics::text_colour();
  const graphics::TextSettings text = graphics::get_text_settings();
  graphics::set_text_justification(graphics::kJustifyCentre, graphics::kJustifyTop);
  graphics::set_viewport(0, 0, graphics::max_x(), graphics::max_y());

  image::Image saved{}, dark{};
  const bool captured = image::image_capture_screen(&saved, 0, 0, graphics::window_width(),
                                                    graphics::window_height(), image::Rgb32, 0) &&
                        image::image_copy(&dark, &saved) && image::image_adjust_brightness(&dark, kDarken);
  if (captured) {
    image::image_draw(&dark, 0, 0, image::kDrawTrueColour);
    label_items();
  }

  const int32_t second = g_input.ticks_per_second;
  while (alt_alone() && !graphics::input_waiting()) wait_a_little(second / 10);
  for (int32_t held = held_for(); held < second && !graphics::input_waiting(); held = held_for()) {
    wait_a_little(second - held);
  }

  graphics::set_viewport(0, 0, graphics::max_x(), graphics::max_y());
  if (captured) image::image_draw(&saved, 0, 0, image::kDrawTrueColour);
  image::image_free(&saved);
  image::image_free(&dark);
  graphics::set_colour(colour);
  graphics::restore_text_colour(text_colour);
  graphics::set_text_justification(text.horizontal, text.vertical);
  graphics::set_viewport(viewport.left, viewport.top, viewport.right, viewport.bottom);
  graphics::set_draw_through(draw_through);
  g_keyboard.alt_held = false;
}

}  // namespace

void alt_overlay_step() {
  KeyboardState& k = g_keyboard;
  if (!alt_alone()) {
    k.alt_held = false;
    return;
  }
  if (!k.alt_held) {
    k.alt_held = true;
    k.alt_start = read_clock();
    return;
  }
  if (held_for() > g_input.ticks_per_second) show_overlay();
}

}  // namespace lumra::input
