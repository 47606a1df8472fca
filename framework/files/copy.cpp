// Streams are the C library's; offsets are 64-bit (fseeko) so archives past 2 GiB still move.
// The chunk buffer is sized down for short copies and, should memory be short, in 512-byte steps.
#include "framework/files/copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

constexpr int64_t kMaxChunk = 57344;
constexpr int64_t kChunkStep = 512;

bool copy_chunk(std::FILE* dst, int64_t dst_at, std::FILE* src, int64_t src_at, uint8_t* buffer, size_t n) {
  if (fseeko(src, src_at, SEEK_SET) != 0) return fail("cannot seek in the source");
  if (std::fread(buffer, 1, n, src) != n) return fail("cannot read the source");
  if (fseeko(dst, dst_at, SEEK_SET) != 0) return fail("cannot seek in the destination");
  if (std::fwrite(buffer, 1, n, dst) != n) return failf("cannot write the destination: %s", std::strerror(errno));
  return true;
}

}  // namespace

int copy_range(std::FILE* destination, int64_t destination_offset, std::FILE* source, int64_t source_offset,
               int64_t length, CopyProgress progress, void* data) {
  if (length == 0) return 1;
  if (!destination || !source || length < 0 || destination_offset < 0 || source_offset < 0) {
    return fail("bad copy range");
  }
  int64_t size = kMaxChunk;
  while (size > kChunkStep && length <= size - kChunkStep) size -= kChunkStep;
  uint8_t* buffer = nullptr;
  for (; size >= kChunkStep; size -= kChunkStep) {
    buffer = static_cast<uint8_t*>(base::heap_alloc(static_cast<size_t>(size)));
    if (buffer) break;
  }
  if (!buffer) return fail("no memory for the copy buffer");

  const bool backwards = destination == source && destination_offset > source_offset;
  const int64_t last = length - length % size == length ? length - size : length - length % size;
  bool ok = true;
  for (int64_t i = 0; ok; ++i) {
    const int64_t at = backwards ? last - i * size : i * size;
    if (at < 0 || at >= length) break;
    const int64_t n = length - at < size ? length - at : size;
    if (progress && !progress(at, length, data)) {
      ok = fail("copy aborted");
      break;
    }
    ok = copy_chunk(destination, destination_offset + at, source, source_offset + at, buffer, static_cast<size_t>(n));
  }
  base::heap_free(buffer);
  if (std::fflush(destination) != 0 && ok) ok = failf("cannot write the destination: %s", std::strerror(errno));
  if (ok && progress && !progress(length, length, data)) ok = fail("copy aborted");
  return ok ? 1 : 0;
}

int copy_file(const char* destination, const char* source, int keep_new_time, CopyProgress progress, void* data) {
  if (!destination || !source) return fail("no copy source or destination");
  const std::string dst_path = native_path(destination);
  const std::string src_path = native_path(source);
  std::FILE* src = std::fopen(src_path.c_str(), "rb");
  if (!src) {
    unlink(dst_path.c_str());
    failf("cannot open %s: %s", source, std::strerror(errno));
    return kCopySourceMissing;
  }
  struct stat st {};
  if (fstat(fileno(src), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(src);
    return failf("%s is not a regular file", source);
  }
  struct stat existing {};
  if (stat(dst_path.c_str(), &existing) == 0 && existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
    std::fclose(src);
    return failf("%s and %s are the same file", destination, source);
  }
  // A link left under the destination name is replaced, never written through.
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(dst_path.c_str(), kFlags, 0644);
  if (fd < 0 && errno == ELOOP && unlink(dst_path.c_str()) == 0) fd = open(dst_path.c_str(), kFlags, 0644);
  std::FILE* dst = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!dst) {
    const int err = errno;
    if (fd >= 0) close(fd);
    std::fclose(src);
    return failf("cannot create %s: %s", destination, std::strerror(err));
  }
  int ok = copy_range(dst, 0, src, 0, st.st_size, progress, data);
  if (ok && !keep_new_time) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (futimens(fileno(dst), times) != 0) ok = failf("cannot set the time of %s", destination);
  }
  if (std::fclose(dst) != 0 && ok) ok = failf("cannot write %s: %s", destination, std::strerror(errno));
  std::fclose(src);
  if (!ok) unlink(dst_path.c_str());
  return ok;
}

}  // namespace lumra::files
