// Loading any supported picture by its extension, with its resolution in dots per inch, and the
// save call of each format written. Documents (.pdf, .eps, .ps) and the other extensions, which go
// through external converters, are not built yet: those loads fail with 0.
#pragma once

#include <cstdint>

#include "framework/image/bmp_file.h"
#include "framework/image/image.h"
#include "framework/image/jpeg_file.h"
#include "framework/image/pcx_file.h"
#include "framework/image/picture_limits.h"
#include "framework/image/png_file.h"
#include "framework/image/tiff_file.h"

namespace lumra::image {

// File names. Every reader and writer of this subsystem opens its `path` by files' one path rule
// (files::system_path): the name goes to the system as the bytes the caller gave, "\" read as "/",
// never converted between character sets. So a UTF-8 name such as "café.png" opens that file.

// Reads `path` into `img` by the extension of `forced_extension` (with its dot, e.g. ".png")
// or else of the path's file name (from its last dot, as files::split_path takes it apart); letter
// case does not matter. `background` (a colour value) is used by PNG only. The resolutions are
// written on success (JPEG: as soon as its header has been read, and a 0 there becomes 75 whatever
// the result); any pointer but img and path may be null. 1 on success, 0 with a reason.
int load_picture(Image* img, const char* path, float* x_resolution, float* y_resolution, const uint32_t* background,
                 const char* forced_extension);

// The name of the format load_picture reads `path` as ("PNG", "TIFF", ...); "?" for the
// extensions left to the external converter.
const char* picture_format_name(const char* path);

}  // namespace lumra::image
