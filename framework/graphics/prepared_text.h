// A text made ready for a system font: OEM converted to Windows characters, characters below 32
// taken out. Up to kPreparedLocal characters it is kept in the record itself, without heap memory;
// longer texts take a block of the framework heap, freed with the record.
#pragma once

#include <cstddef>

#include "framework/base/owned.h"

namespace lumra::graphics {

inline constexpr size_t kPreparedLocal = 128;

struct PreparedText {
  char local[kPreparedLocal];
  base::HeapBlock heap;
  const char* data = nullptr;
  size_t length = 0;
};

// 1, or 0 when a long text's block could not be had (the text is then empty).
int prepare_text(PreparedText* out, const char* oem, size_t length);

}  // namespace lumra::graphics
