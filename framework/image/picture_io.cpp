// Shared plumbing of the picture readers and writers: whole-file loads with a size ceiling,
// OEM-to-system paths, checked writes that leave no partial file behind, and the pixel limit.
#include <cstdio>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/palette.h"
#include "framework/image/image.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"
#include "framework/text/oem.h"
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

int load_file(const char* path, FileBytes* out) {
  *out = FileBytes{};
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return base::failf("Unable to open the file \"%s\"", path);
  const int64_t file_size = regular_file_size(f);
  if (file_size < 0) {
    std::fclose(f);
    return fail("not a regular file");
  }
  if (static_cast<uint64_t>(file_size) > kMaxFileBytes) {
    std::fclose(f);
    return fail("file too large for a picture");
  }
  const auto size = static_cast<size_t>(file_size);
  uint8_t* data = nullptr;
  if (size) {
    data = static_cast<uint8_t*>(base::heap_alloc(size));
    if (!data) {
      std::fclose(f);
      return fail("out of memory for the file");
    }
  }
  const size_t got = size ? std::fread(data, 1, size, f) : 0;
  std::fclose(f);
  if (got != size) {
    base::heap_free(data);
    return fail("file could not be read");
  }
  out->data = data;
  out->size = size;
  return 1;
}

void release_file(FileBytes* file) {
  base::heap_free(file->data);
  *file = FileBytes{};
}

std::string system_path(const char* oem_path) { return text::oem_to_windows(oem_path ? oem_path : ""); }

int out_open(OutFile* out, const char* path) {
  *out = OutFile{std::fopen(path, "wb"), path, true};
  if (!out->file) return base::failf("Unable to create the file \"%s\"", path);
  return 1;
}

void out_write(OutFile* out, const void* bytes, size_t n) {
  if (out->ok && n && std::fwrite(bytes, 1, n, out->file) != n) out->ok = false;
}

int out_finish(OutFile* out) {
  const bool closed = std::fclose(out->file) == 0;
  out->file = nullptr;
  if (out->ok && closed) return 1;
  std::remove(out->path);
  return fail("the picture could not be written completely");
}

uint32_t window_palette_colour(int32_t index) {
  const graphics::PaletteEntry& e = graphics::palette_entry(index);
  return colour_value(e.red * 255u / 63, e.green * 255u / 63, e.blue * 255u / 63);
}

}  // namespace internal
}  // namespace lumra::image
