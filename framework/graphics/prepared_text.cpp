// Conversion byte by byte, so a segment of a longer text is prepared without copying it first.
#include "framework/graphics/prepared_text.h"

#include <cstdint>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/text/oem.h"

namespace lumra::graphics {

int prepare_text(PreparedText* out, const char* oem, size_t length) {
  out->heap.reset();
  out->data = out->local;
  out->length = 0;
  char* to = out->local;
  if (length > kPreparedLocal) {
    out->heap.reset(base::heap_alloc(length));
    if (!out->heap) return base::fail("out of memory for a text");
    to = static_cast<char*>(out->heap.get());
    out->data = to;
  }
  for (size_t i = 0; i < length; ++i) {
    const uint8_t c = text::oem_char_to_windows(static_cast<uint8_t>(oem[i]));
    if (c >= 32) to[out->length++] = static_cast<char>(c);
  }
  return 1;
}

}  // namespace lumra::graphics
