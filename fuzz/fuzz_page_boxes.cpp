// The scan of Ghostscript's bbox report. A document can write whatever it likes to Ghostscript's
// standard error, "%%HiResBoundingBox:" lines of its own making among it, so the report is
// hostile text. Every line the scan takes must be one that begins with the tag and holds four
// numbers; the scan never reads past the text (a sanitizer report otherwise).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/image/ghostscript.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

size_t tagged_lines(const std::string& text) {
  size_t n = 0;
  for (size_t at = text.find("%%HiResBoundingBox: "); at != std::string::npos;
       at = text.find("%%HiResBoundingBox: ", at + 1)) {
    if (at == 0 || text[at - 1] == '\n') ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string report(reinterpret_cast<const char*>(data), size);
  const std::vector<lumra::image::PageBox> pages = lumra::image::page_boxes(report);
  check(pages.size() <= tagged_lines(report));
  return 0;
}
