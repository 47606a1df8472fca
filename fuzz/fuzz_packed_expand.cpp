// Opens arbitrary bytes as a memory stream (expanding them when they look like a packed block)
// and reads the same bytes from a file the same way; both must agree and stay in bounds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/base/memstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::base;
  // Length 0 means "trust the header" (data linked into the program): not for fuzz input.
  if (size == 0 || size > (1u << 20)) return 0;
  MemStream from_memory{};
  stream_open_memory(&from_memory, data, static_cast<int32_t>(size));
  uint8_t sink[64];
  while (stream_read(&from_memory, sink, sizeof sink)) {
  }

  std::FILE* f = std::tmpfile();
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::rewind(f);
  MemStream from_file{};
  stream_setup(&from_file);
  const int ok = stream_read_file(&from_file, f, -1);
  std::fclose(f);
  // A block that expands through one path expands through the other.
  if (ok && size > 16 && !from_memory.view &&
      (from_file.size != from_memory.size || std::memcmp(from_file.data, from_memory.data, from_file.size) != 0))
    std::abort();
  stream_release(&from_file);
  stream_release(&from_memory);
  return 0;
}
