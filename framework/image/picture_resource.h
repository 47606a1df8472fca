// Pictures kept in resource packs: loading one into a raster image and drawing one into the
// graphics window, with the picture's own transparency setting or a replacement for it.
// The pack list itself (registration, lookup, picture headers) is framework/base/resource_pack.h.
#pragma once

#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

// Reads picture `id` into `img` (released first). 1, or 0 when it is missing or unreadable.
int load_picture_resource(Image* img, int32_t id);

// Draws picture `id` at (x, y) in colour mode 4, the whole picture at width x height (0 x 0: its
// own size; one of them 0: in proportion). A transparency other than -1 replaces the picture's
// setting by its low four bits. 1 when drawn, 0 when the picture is missing or unreadable.
int draw_picture_resource(int32_t x, int32_t y, int32_t id);
int draw_picture_resource(int32_t x, int32_t y, int32_t id, int32_t transparency);
int draw_picture_resource(int32_t x, int32_t y, int32_t id, int32_t transparency, int32_t width, int32_t height);

}  // namespace lumra::image
