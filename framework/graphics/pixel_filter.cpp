// The filter list lives in the drawing state; a filter that removes itself (or another) while the
// chain runs only takes effect for the next pixel, because the chain walks a copy.
#include "framework/graphics/pixel_filter.h"

#include "framework/graphics/graphics.h"

namespace lumra::graphics {
namespace {

DrawState& ds() { return g_graphics.draw; }

int32_t find(PixelFilter filter) {
  for (int32_t i = 0; i < ds().filter_count; ++i) {
    if (ds().filters[i] == filter) return i;
  }
  return -1;
}

}  // namespace

int add_pixel_filter(PixelFilter filter) {
  DrawState& s = ds();
  if (!filter || find(filter) >= 0 || s.filter_count >= kMaxPixelFilters) return 0;
  s.filters[s.filter_count++] = filter;
  return 1;
}

int remove_pixel_filter(PixelFilter filter) {
  DrawState& s = ds();
  const int32_t at = find(filter);
  if (at < 0) return 0;
  for (int32_t i = at; i + 1 < s.filter_count; ++i) s.filters[i] = s.filters[i + 1];
  s.filters[--s.filter_count] = nullptr;
  return 1;
}

bool pixel_filters_active() { return ds().filter_count > 0; }

int32_t filter_pixel(int32_t x, int32_t y, int32_t colour, bool from_image) {
  PixelFilter chain[kMaxPixelFilters];
  const int32_t count = ds().filter_count;
  for (int32_t i = 0; i < count; ++i) chain[i] = ds().filters[i];
  const int32_t outer = ds().filter_from_image;
  ds().filter_from_image = from_image ? 1 : 0;
  for (int32_t i = 0; i < count && colour >= 0; ++i) colour = chain[i](x, y, colour);
  ds().filter_from_image = outer;
  return colour;
}

bool pixel_filter_from_image() { return ds().filter_from_image != 0; }

}  // namespace lumra::graphics
