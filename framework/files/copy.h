// Copying a whole file (keeping its time) and a byte range between two open streams, forwards or,
// when a range moves up within one stream, backwards so that it never overwrites bytes it has
// still to read. Progress functions may abort either copy.
#pragma once

#include <cstdint>
#include <cstdio>

namespace lumra::files {

// (bytes done, total bytes, data): nonzero to go on, 0 to abort.
using CopyProgress = int (*)(int64_t done, int64_t total, void* data);

inline constexpr int kCopySourceMissing = 2;

// 1 copied; 0 failed (the destination is then deleted); 2 the source could not be opened (the
// destination path is deleted too, so no stale copy is left under it). Unless keep_new_time is
// set, the destination gets the source's access and modification times.
int copy_file(const char* destination, const char* source, int keep_new_time, CopyProgress progress, void* data);

// Copies `length` bytes from source_offset in `source` to destination_offset in `destination` in
// chunks of up to 57,344 bytes. 1 or 0.
int copy_range(std::FILE* destination, int64_t destination_offset, std::FILE* source, int64_t source_offset,
               int64_t length, CopyProgress progress, void* data);

}  // namespace lumra::files
