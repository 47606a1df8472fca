// The sentence is built from what the matcher keeps of each part: everything up to the first "*".
#include "tools/lumra-arc/pattern_note.h"

#include "framework/files/path.h"

namespace lumra::arc {
namespace {

// The part as the matcher reads it; *cut is set when something after a "*" was dropped.
std::string kept(const std::string& part, bool* cut) {
  const size_t star = part.find('*');
  if (star == std::string::npos || star + 1 == part.size()) return part;
  *cut = true;
  return part.substr(0, star + 1);
}

bool ends_in_star(const std::string& s) { return !s.empty() && s.back() == '*'; }

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string pattern_reach(const std::string& pattern, const char* things) {
  const files::PathParts p = files::split_path(pattern);
  bool cut = false;
  const std::string base = kept(p.base, &cut);
  const std::string ext = kept(p.ext, &cut);
  if (!cut) return "";

  std::string out = std::string("every ") + things;
  if (!p.drive.empty() || !p.dir.empty()) out += " in " + quoted(p.drive + p.dir);
  const bool any_base = base == "*";
  if (!any_base) {
    out += ends_in_star(base) ? " whose name begins with " + quoted(base.substr(0, base.size() - 1))
                              : " whose base name is " + quoted(base);
  }
  const char* const joint = any_base ? " " : " and ";
  if (ext.empty() || ext == ".") {
    out += any_base ? " without an extension" : " and has no extension";
  } else if (ext == ".*") {
    // every extension: nothing to add
  } else if (ends_in_star(ext)) {
    out += std::string(joint) + "whose extension begins with " + quoted(ext.substr(0, ext.size() - 1));
  } else {
    out += std::string(any_base ? " ending in " : " and ends in ") + quoted(ext);
  }
  return out;
}

}  // namespace lumra::arc
