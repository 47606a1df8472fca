// The registry seam: each call forwards to the control layer's function when one is set.
#include "framework/input/clickable_areas.h"

#include "framework/input/input.h"

namespace lumra::input {
namespace {

const ClickableAreas* areas() { return g_input.areas; }

}  // namespace

void set_clickable_areas(const ClickableAreas* registry) { g_input.areas = registry; }

bool areas_exclusive() { return areas() && areas()->exclusive && areas()->exclusive(); }

int32_t area_item_count() {
  if (!areas() || !areas()->item_count || !areas()->item) return 0;
  const int32_t n = areas()->item_count();
  return n > 0 ? n : 0;
}

AreaItem area_item(int32_t index) {
  if (index < 0 || index >= area_item_count()) return AreaItem{};
  return areas()->item(index);
}

void activate_area(int32_t index) {
  if (areas() && areas()->activate && index >= 0 && index < area_item_count()) areas()->activate(index);
}

void clear_pointer_over_area() {
  if (areas() && areas()->clear_pointer_over) areas()->clear_pointer_over();
}

void take_down_area_help() {
  if (areas() && areas()->take_down_help) areas()->take_down_help();
}

int32_t screen_layer_level() { return areas() && areas()->layer_level ? areas()->layer_level() : 0; }

}  // namespace lumra::input
