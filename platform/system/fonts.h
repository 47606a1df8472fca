// The system's installed fonts: which file holds a face of a given family, weight and slant. Part
// of the system interface (platform/system/*.h); platform/posix/ answers through fontconfig.
// Family names are UTF-8 and compared without regard to case; the files are read by FreeType.
#pragma once

#include <cstdint>
#include <string>

namespace lumra::sys {

// OpenType weights: 400 regular, 700 bold.
inline constexpr int32_t kFontWeightRegular = 400;
inline constexpr int32_t kFontWeightBold = 700;

struct FontFile {
  std::string path;  // the font file
  int32_t index;     // the face within it (collections hold several)
  int32_t weight;    // of the face found, on the OpenType scale
  bool italic;       // the face found is italic or oblique
};

// The face of `family` nearest to the weight and slant asked for. Font configurations answer
// every question with some face (a substitute, the default sans-serif); a family counts as
// present only when one of the found face's family names equals `family`, case ignored. False
// when it is not present (or the name is empty or null).
bool find_font(const char* family, int32_t weight, bool italic, FontFile* out);

// The face the desktop uses for its own small texts: whatever the font configuration answers for
// the generic "sans-serif" family, with no name check. False only when the system has no font.
bool find_default_font(int32_t weight, bool italic, FontFile* out);

}  // namespace lumra::sys
