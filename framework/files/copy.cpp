// Streams are the C library's; offsets are 64-bit (sys::seek) so archives past 2 GiB still move.
// The chunk buffer is sized down for short copies and, should memory be short, in 512-byte steps.
#include "framework/files/copy.h"

#include <cerrno>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/files/path.h"
#include "framework/files/pending_file.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

constexpr int64_t kMaxChunk = 57344;
constexpr int64_t kChunkStep = 512;

bool copy_chunk(std::FILE* dst, int64_t dst_at, std::FILE* src, int64_t src_at, uint8_t* buffer, size_t n) {
  if (!sys::seek(src, src_at)) return fail("cannot seek in the source");
  if (std::fread(buffer, 1, n, src) != n) return fail("cannot read the source");
  if (!sys::seek(dst, dst_at)) return fail("cannot seek in the destination");
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
  base::HeapBlock block;
  for (; size >= kChunkStep; size -= kChunkStep) {
    block.reset(base::heap_alloc(static_cast<size_t>(size)));
    if (block) break;
  }
  if (!block) return fail("no memory for the copy buffer");
  auto* const buffer = static_cast<uint8_t*>(block.get());

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
  block.reset();
  if (std::fflush(destination) != 0 && ok) ok = failf("cannot write the destination: %s", std::strerror(errno));
  if (ok && progress && !progress(length, length, data)) ok = fail("copy aborted");
  return ok ? 1 : 0;
}

int copy_file(const char* destination, const char* source, int keep_new_time, CopyProgress progress, void* data) {
  if (!destination || !source) return fail("no copy source or destination");
  const std::string dst_path = system_path(destination);
  const std::string src_path = system_path(source);
  base::OwnedFile src(std::fopen(src_path.c_str(), "rb"));
  if (!src) {
    const int err = errno;
    sys::remove_file(dst_path.c_str());
    failf("cannot open %s: %s", source, std::strerror(err));
    return kCopySourceMissing;
  }
  sys::FileInfo st{};
  if (!sys::ok(sys::file_info(sys::stream_descriptor(src.get()), &st)) || st.kind != sys::FileKind::kFile) {
    return failf("%s is not a regular file", source);
  }
  sys::FileInfo existing{};
  if (sys::ok(sys::file_info(dst_path.c_str(), sys::Links::kFollow, &existing)) && sys::same_file(existing, st)) {
    return failf("%s and %s are the same file", destination, source);
  }
  PendingFile pending;
  base::OwnedFile dst;
  // A link left under the destination name is replaced, never written through.
  if (const sys::Status created = sys::create_stream(dst_path.c_str(), dst.receive()); !sys::ok(created)) {
    return failf("cannot create %s: %s", destination, sys::describe(created));
  }
  pending.created(dst_path);
  if (!copy_range(dst.get(), 0, src.get(), 0, static_cast<int64_t>(st.size), progress, data)) return 0;
  if (!keep_new_time && !sys::ok(sys::set_times(sys::stream_descriptor(dst.get()), &st.accessed, &st.modified))) {
    return failf("cannot set the time of %s", destination);
  }
  if (!dst.close()) return failf("cannot write %s: %s", destination, std::strerror(errno));
  pending.keep();
  return 1;
}

}  // namespace lumra::files
