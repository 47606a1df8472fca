// What the picture readers and writers of the image subsystem share: every picture file opened by
// files' one path rule, whole files as bounded byte buffers, and writing that removes a partial
// file. Not for use outside framework/image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/base/owned.h"

namespace lumra::image::internal {

// Largest file a reader takes into memory: the biggest uncompressed picture the pixel limit lets
// through, with room for headers and tables.
inline constexpr size_t kMaxFileBytes = (size_t{1} << 31) - 1;

// The size of the regular file behind an open stream; -1 for anything else (a pipe, a device,
// a folder) or when the system cannot tell.
int64_t regular_file_size(std::FILE* file);

// The file at `path` opened "rb". The name goes to the system by files' one path rule
// (files::system_path): the bytes the caller passed, "\" read as "/", no character-set conversion.
// Empty, with "Unable to open the file ...", when it cannot be opened.
base::OwnedFile open_for_reading(const char* path);

// A whole file: a read-only view the system maps (no copy, the way libtiff reads files too), or,
// where it gives none, the bytes read onto the framework heap.
struct FileBytes {
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();
  const void* view = nullptr;
  base::HeapBlock block;  // when not mapped; null for an empty file
  size_t size = 0;
  const uint8_t* data() const { return static_cast<const uint8_t*>(view ? view : block.get()); }
};
// 1 with the bytes of the regular file at `path` in `out` (empty), or 0 with a reason.
int load_file(const char* path, FileBytes* out);

// Reads the whole file at `path` and gives its bytes to parse(data, size), a reader's in-memory
// form; the bytes are released when it returns. Its result, or 0 when the file could not be read.
template <class Parse>
int parse_file(const char* path, Parse parse) {
  FileBytes file;
  if (!load_file(path, &file)) return 0;
  return parse(file.data(), file.size);
}

// A picture file being written: every write is checked, and out_finish closes it and reports
// whether all of it reached the disk, removing it when not. Writers that hand the stream to a
// library (libpng, libjpeg) take it from `file` and tell out_finish how the library fared.
struct OutFile {
  base::OwnedFile file;
  std::string system_path;  // the name as opened, for removing a partial file
  bool ok = true;           // every out_write so far succeeded
};
// Creates the file at `path` ("wb", named as for reading); 0 with "Unable to create the file ...".
int out_open(OutFile* out, const char* path);
void out_write(OutFile* out, const void* bytes, size_t n);
// 1 when the writes and the close succeeded. Otherwise the file is removed and 0 returned: with
// `written` false (the writer or its library failed) the writer's own reason stands, else the
// reason is that the file could not be written completely.
int out_finish(OutFile* out, bool written = true);

// The window palette's entry (6-bit components) as a colour value.
uint32_t window_palette_colour(int32_t index);

}  // namespace lumra::image::internal
