// The registry of clickable screen areas as the polls see it: the areas' hot keys and their
// activation mark, the exclusive mode, the pointer-over-area state, help overlays and the level of
// the current screen layer. The on-screen controls fill it in with set_clickable_areas; until one
// is set (the viewer sets none) every call below does nothing and finds nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace lumra::input {

// An item of a visible area: its hot key (an input code, 0 for none) and its place in the window.
struct AreaItem {
  int32_t key;
  platform::Rect rect;
};

// What a control layer provides. Every member is optional (null: that part does nothing).
struct ClickableAreas {
  // True while the areas are in their exclusive mode: hot keys and key hooks are then left out.
  bool (*exclusive)();
  // The items of the visible areas, in the order their hot keys are consulted.
  int32_t (*item_count)();
  AreaItem (*item)(int32_t index);
  // Marks the area that holds item `index` as activated (its hot key was pressed).
  void (*activate)(int32_t index);
  // Forgets which area the pointer is over.
  void (*clear_pointer_over)();
  // Takes down the help overlay an area shows, if any, putting back the screen behind it.
  void (*take_down_help)();
  // Level of the current screen layer; key hooks registered for lower levels are skipped.
  int32_t (*layer_level)();
};

// Null removes the registry. The object must outlive its use.
void set_clickable_areas(const ClickableAreas* areas);

bool areas_exclusive();
int32_t area_item_count();
// Index in 0 .. area_item_count() - 1; outside it an item without key.
AreaItem area_item(int32_t index);
void activate_area(int32_t index);
void clear_pointer_over_area();
void take_down_area_help();
// 0 without a registry.
int32_t screen_layer_level();

}  // namespace lumra::input
