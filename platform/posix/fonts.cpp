// Font lookup through fontconfig: one pattern (family, weight, slant) substituted with the user's
// and the system's rules and matched against the installed fonts. The matched pattern's family
// list tells whether the family asked for is really there.
#include "platform/system/fonts.h"

#include <fontconfig/fontconfig.h>

namespace lumra::sys {
namespace {

struct Pattern {
  FcPattern* p = nullptr;
  Pattern() = default;
  explicit Pattern(FcPattern* pattern) : p(pattern) {}
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;
  ~Pattern() {
    if (p) FcPatternDestroy(p);
  }
};

const FcChar8* fc_text(const char* s) { return reinterpret_cast<const FcChar8*>(s); }

// A number of the pattern, which fontconfig may hold as an integer or a double.
double number(FcPattern* pattern, const char* object, double otherwise) {
  double d = 0;
  if (FcPatternGetDouble(pattern, object, 0, &d) == FcResultMatch) return d;
  int i = 0;
  if (FcPatternGetInteger(pattern, object, 0, &i) == FcResultMatch) return i;
  return otherwise;
}

bool has_family(FcPattern* match, const char* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, fc_text(family)) == 0) return true;
  }
  return false;
}

bool match(const char* family, int32_t weight, bool italic, bool check_family, FontFile* out) {
  if (!family || !*family || !out) return false;
  Pattern wanted(FcPatternCreate());
  if (!wanted.p) return false;
  FcPatternAddString(wanted.p, FC_FAMILY, fc_text(family));
  FcPatternAddDouble(wanted.p, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight));
  FcPatternAddInteger(wanted.p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  // Only faces FreeType can draw at any size.
  FcPatternAddBool(wanted.p, FC_SCALABLE, FcTrue);
  if (!FcConfigSubstitute(nullptr, wanted.p, FcMatchPattern)) return false;
  FcDefaultSubstitute(wanted.p);
  FcResult result = FcResultNoMatch;
  Pattern found(FcFontMatch(nullptr, wanted.p, &result));
  if (!found.p || result != FcResultMatch) return false;
  if (check_family && !has_family(found.p, family)) return false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(found.p, FC_FILE, 0, &file) != FcResultMatch || !file || !*file) return false;
  out->path = reinterpret_cast<const char*>(file);
  // As FreeType takes it: the low 16 bits number the face, the bits above a named instance.
  out->index = static_cast<int32_t>(number(found.p, FC_INDEX, 0));
  out->weight = static_cast<int32_t>(FcWeightToOpenTypeDouble(number(found.p, FC_WEIGHT, FC_WEIGHT_REGULAR)));
  out->italic = number(found.p, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
  return true;
}

}  // namespace

bool find_font(const char* family, int32_t weight, bool italic, FontFile* out) {
  return match(family, weight, italic, true, out);
}

bool find_default_font(int32_t weight, bool italic, FontFile* out) {
  return match("sans-serif", weight, italic, false, out);
}

}  // namespace lumra::sys
