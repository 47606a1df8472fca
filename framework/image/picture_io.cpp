// Shared plumbing of the picture readers and writers: opening by files' path rule, whole-file
// loads with a size ceiling, checked writes that leave no partial file behind, and the pixel limit.
#include <cstdio>
#include <cstring>
#include <utility>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/path.h"
#include "framework/graphics/palette.h"
#include "framework/image/image.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"
#include "platform/system/fs.h"

namespace lumra::image {

PictureLimits g_picture_limits{kMaxPicturePixels, kMaxJpegScans};

void picture_limits_reset() { g_picture_limits = PictureLimits{kMaxPicturePixels, kMaxJpegScans}; }

bool picture_size_allowed(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return base::fail("picture without pixels");
  if (width > kMaxSide || height > kMaxSide) return base::fail("picture side above 65536");
  if (width * height > g_picture_limits.max_pixels) return base::fail("picture has more pixels than the limit");
  return true;
}

namespace internal {

using base::fail;

int64_t regular_file_size(std::FILE* file) {
  sys::FileInfo info{};
  if (!file || !sys::ok(sys::file_info(sys::stream_descriptor(file), &info))) return -1;
  return info.kind == sys::FileKind::kFile ? static_cast<int64_t>(info.size) : -1;
}

namespace {

// The one place picture files are named to the system.
base::OwnedFile open_file(const char* path, const char* mode) {
  return base::OwnedFile(std::fopen(files::system_path(path ? path : "").c_str(), mode));
}

}  // namespace

base::OwnedFile open_for_reading(const char* path) {
  base::OwnedFile f = open_file(path, "rb");
  if (!f) base::failf("Unable to open the file \"%s\"", path ? path : "");
  return f;
}

FileBytes::~FileBytes() { sys::unmap_file(view, size); }

int load_file(const char* path, FileBytes* out) {
  const base::OwnedFile f = open_for_reading(path);
  if (!f) return 0;
  const int64_t file_size = regular_file_size(f.get());
  if (file_size < 0) return fail("not a regular file");
  if (static_cast<uint64_t>(file_size) > kMaxFileBytes) return fail("file too large for a picture");
  const auto size = static_cast<size_t>(file_size);
  out->view = sys::map_file(sys::stream_descriptor(f.get()), size);
  if (out->view) {
    out->size = size;
    return 1;
  }
  base::HeapBlock data(size ? base::heap_alloc(size) : nullptr);
  if (size && !data) return fail("out of memory for the file");
  if (size && std::fread(data.get(), 1, size, f.get()) != size) return fail("file could not be read");
  out->block = std::move(data);
  out->size = size;
  return 1;
}

int out_open(OutFile* out, const char* path) {
  out->system_path = files::system_path(path ? path : "");
  out->file = open_file(path, "wb");
  out->ok = true;
  if (!out->file) return base::failf("Unable to create the file \"%s\"", path ? path : "");
  return 1;
}

void out_write(OutFile* out, const void* bytes, size_t n) {
  if (out->ok && n && std::fwrite(bytes, 1, n, out->file.get()) != n) out->ok = false;
}

int out_finish(OutFile* out, bool written) {
  const bool closed = out->file.close();
  if (written && out->ok && closed) return 1;
  std::remove(out->system_path.c_str());
  return written ? fail("the picture could not be written completely") : 0;
}

uint32_t window_palette_colour(int32_t index) {
  const graphics::PaletteEntry& e = graphics::palette_entry(index);
  return colour_value(e.red * 255u / 63, e.green * 255u / 63, e.blue * 255u / 63);
}

}  // namespace internal
}  // namespace lumra::image
