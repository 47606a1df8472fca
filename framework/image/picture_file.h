// Loading any supported picture by its extension, with its resolution in dots per inch, and the
// save call of each format written. Documents (.pdf, .eps, .ps) are rendered through Ghostscript
// (first page, 75 dots per inch, Rgb32); every other extension goes through the external converter
// to a BMP (framework/image/ghostscript.h, converter.h).
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
//
// What a failed read leaves in the image (load_picture passes on what its reader left):
//
//   reader | refused before allocating | allocating fails | the data breaks after allocating
//   -------+---------------------------+------------------+--------------------------------------------------
//   BMP    | the image as it was       | empty            | cannot fail: run-length codes cut short leave
//          |                           |                  | the rest 0; 1
//   TIFF   | the image as it was       | empty            | cannot fail: strips cut short or undecodable
//          |                           |                  | leave their missing rows 0; 1
//   PCX    | the image as it was       | empty            | released (empty); 0
//   PNG    | the image as it was       | empty            | the rows the current pass completed are kept,
//          |                           |                  | the height cut to their count; 1. None: empty; 0
//   JPEG   | the image as it was       | empty            | kept allocated, rows never decoded 0; 0
//
// Refused before allocating: no file, a wrong signature, an unsupported variant, the pixel limit;
// nothing is released or replaced until the file has been checked. After the allocation PCX, PNG
// and JPEG follow their formats' own rules. No reader leaves stale memory in pixels it never reached.

// Reads `path` into `img` by the extension of `forced_extension` (with its dot, e.g. ".png")
// or else of the path's file name (from its last dot, as files::split_path takes it apart); letter
// case does not matter. `background` (a colour value) is what PNG and
// TIFF pictures with alpha are flattened onto. The resolutions are
// written on success (JPEG: as soon as its header has been read, and a 0 there becomes 75 whatever
// the result); any pointer but img and path may be null. 1 on success, 0 with a reason; the image
// as the table above says.
int load_picture(Image* img, const char* path, float* x_resolution, float* y_resolution, const uint32_t* background,
                 const char* forced_extension);

// The name of the format load_picture reads `path` as ("PNG", "TIFF", ...); "?" for the
// extensions left to the external converter.
const char* picture_format_name(const char* path);

}  // namespace lumra::image
