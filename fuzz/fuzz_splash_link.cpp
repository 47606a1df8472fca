// The splash link's search in a package's objects_data.js on hostile bytes: the window is the
// input's bytes (NUL bytes included), copied into a buffer of exactly that size so a read past it
// is a sanitizer report. A link found must be a piece of the first 1023 bytes that begins with
// "http://" and holds no double quote.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "viewer/splash_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> window(new char[size ? size : 1]);
  if (size) std::memcpy(window.get(), data, size);
  const std::string link = lumra::viewer::link_in_window(window.get(), size);
  if (!link.empty()) {
    const std::string seen(window.get(), size < 1023 ? size : 1023);
    if (link.compare(0, 7, "http://") != 0 || link.find('"') != std::string::npos ||
        seen.find(link) == std::string::npos) {
      __builtin_trap();
    }
  }
  return 0;
}
