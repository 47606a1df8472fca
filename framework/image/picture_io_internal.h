// What the picture readers and writers of the image subsystem share: whole files as bounded byte
// buffers, the system form of a framework path, and writing that removes a partial file. Not for
// use outside framework/image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace lumra::image::internal {

// Largest file a reader takes into memory: the biggest uncompressed picture the pixel limit lets
// through, with room for headers and tables.
inline constexpr size_t kMaxFileBytes = (size_t{1} << 31) - 1;

// The size of the regular file behind an open stream; -1 for anything else (a pipe, a device,
// a folder) or when the system cannot tell.
int64_t regular_file_size(std::FILE* file);

// A whole file on the framework heap.
struct FileBytes {
  uint8_t* data;
  size_t size;
};
// 1 with the bytes (data may be null for an empty file), or 0 with a reason.
int load_file(const char* system_path, FileBytes* out);
void release_file(FileBytes* file);

// The framework's OEM path in the Windows character set, as handed to the system.
std::string system_path(const char* oem_path);

// A file being written: every write is checked; finish closes it and reports whether all of
// it reached the disk, removing it when not.
struct OutFile {
  std::FILE* file;
  const char* path;
  bool ok;
};
int out_open(OutFile* out, const char* system_path);
void out_write(OutFile* out, const void* bytes, size_t n);
int out_finish(OutFile* out);

// The window palette's entry (6-bit components) as a colour value.
uint32_t window_palette_colour(int32_t index);

}  // namespace lumra::image::internal
