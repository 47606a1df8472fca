// Pixel filters: up to eight functions that see each pixel of an image drawing (position and
// colour number) and may change its colour or suppress it. While any is installed, image drawing
// takes its slow path so that every pixel passes here.
#pragma once

#include <cstdint>

#include "framework/graphics/draw_state.h"

namespace lumra::graphics {

// 1, or 0 when the filter is null, already installed or eight are installed.
int add_pixel_filter(PixelFilter filter);
// 1, or 0 when it was not installed.
int remove_pixel_filter(PixelFilter filter);
bool pixel_filters_active();
// Runs the filters in the order they were added, each on the previous one's result; a negative
// result stops the chain and is returned (do not draw). `from_image` is what
// pixel_filter_from_image() tells the filters during the call.
int32_t filter_pixel(int32_t x, int32_t y, int32_t colour, bool from_image);
bool pixel_filter_from_image();

}  // namespace lumra::graphics
