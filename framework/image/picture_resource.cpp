// Picture resources through a fresh memory stream each time: the pack's bytes are never handed out.
#include "framework/image/picture_resource.h"

#include "framework/base/memstream.h"
#include "framework/base/resource_pack.h"
#include "framework/image/draw.h"
#include "framework/image/image_stream.h"

namespace lumra::image {

int load_picture_resource(Image* img, int32_t id) {
  base::MemStream s{};
  base::stream_setup(&s);
  int ok = base::pack_find(id, base::kResourcePicture, &s);
  if (ok) {
    ok = image_load_stream(img, &s);
  } else {
    image_free(img);
  }
  base::stream_release(&s);
  return ok;
}

int draw_picture_resource(int32_t x, int32_t y, int32_t id) { return draw_picture_resource(x, y, id, -1, 0, 0); }

int draw_picture_resource(int32_t x, int32_t y, int32_t id, int32_t transparency) {
  return draw_picture_resource(x, y, id, transparency, 0, 0);
}

int draw_picture_resource(int32_t x, int32_t y, int32_t id, int32_t transparency, int32_t width, int32_t height) {
  Image img{};
  image_create(&img);
  if (!load_picture_resource(&img, id)) return 0;
  if (transparency != -1) set_transparency_mode(&img, transparency);
  image_draw(&img, x, y, kDrawNearest, width, height);
  image_free(&img);
  return 1;
}

}  // namespace lumra::image
