// strftime conversions to pictures: %d -> dd, %-d and %e -> d, %b -> MMM, %I -> hh, %p -> tt ...
// The glibc flags (_ - 0 ^ #), field widths and the E and O modifiers are accepted; "-" and "_"
// (no zero padding) choose the unpadded picture, the rest change nothing a picture can show.
#include "platform/posix/strftime_picture.h"

namespace lumra::sys::posix {
namespace {

// %r, %x ... name further formats; a locale that names itself in a loop stops here.
constexpr int kMaxDepth = 4;

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

struct PictureBuilder {
  std::string out;
  std::string literal;  // literal text not yet written

  void add_literal(char c) { literal.push_back(c); }

  void add_picture(std::string_view picture) {
    flush();
    out.append(picture);
  }

  // Letters would read as pictures, so a run with letters is quoted whole; a quote is written
  // twice, inside quotes or out.
  void flush() {
    bool letters = false;
    for (const char c : literal) letters = letters || is_ascii_letter(c);
    if (letters) out.push_back('\'');
    for (const char c : literal) {
      if (c == '\'') out.push_back('\'');
      out.push_back(c);
    }
    if (letters) out.push_back('\'');
    literal.clear();
  }
};

void convert(std::string_view format, const StrftimeItems& items, int depth, PictureBuilder* b) {
  if (depth > kMaxDepth) return;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i++];
    if (c != '%') {
      b->add_literal(c);
      continue;
    }
    bool unpadded = false;
    while (i < format.size() && std::string_view("_-0^#").find(format[i]) != std::string_view::npos) {
      unpadded = unpadded || format[i] == '-' || format[i] == '_';
      ++i;
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
    if (i >= format.size()) {
      b->add_literal('%');
      return;
    }
    const char conversion = format[i++];
    switch (conversion) {
      case 'a': b->add_picture("ddd"); break;
      case 'A': b->add_picture("dddd"); break;
      case 'b':
      case 'h': b->add_picture("MMM"); break;
      case 'B': b->add_picture("MMMM"); break;
      case 'd': b->add_picture(unpadded ? "d" : "dd"); break;
      case 'e': b->add_picture("d"); break;  // space-padded: pictures have no such form
      case 'm': b->add_picture(unpadded ? "M" : "MM"); break;
      case 'y': b->add_picture("yy"); break;  // a picture's "y" is the last digit alone
      case 'Y': b->add_picture("yyyy"); break;
      case 'H': b->add_picture(unpadded ? "H" : "HH"); break;
      case 'k': b->add_picture("H"); break;
      case 'I': b->add_picture(unpadded ? "h" : "hh"); break;
      case 'l': b->add_picture("h"); break;
      case 'M': b->add_picture(unpadded ? "m" : "mm"); break;
      case 'S': b->add_picture(unpadded ? "s" : "ss"); break;
      case 'p':
      case 'P': b->add_picture("tt"); break;
      case 'D': convert("%m/%d/%y", items, depth + 1, b); break;
      case 'F': convert("%Y-%m-%d", items, depth + 1, b); break;
      case 'T': convert("%H:%M:%S", items, depth + 1, b); break;
      case 'R': convert("%H:%M", items, depth + 1, b); break;
      case 'r':
        convert(items.time_ampm.empty() ? "%I:%M:%S %p" : items.time_ampm, items, depth + 1, b);
        break;
      case 'x': convert(items.date, items, depth + 1, b); break;
      case 'X': convert(items.time, items, depth + 1, b); break;
      case 'c': convert(items.date_time, items, depth + 1, b); break;
      case 'n':
      case 't': b->add_literal(' '); break;
      case '%': b->add_literal('%'); break;
      default: break;  // no picture shows it (%Z, %z, %j, %U, %C, %s ...)
    }
  }
}

}  // namespace

std::string picture_from_strftime(std::string_view format, const StrftimeItems& items) {
  PictureBuilder b;
  convert(format, items, 0, &b);
  b.flush();
  const size_t first = b.out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = b.out.find_last_not_of(' ');
  return b.out.substr(first, last - first + 1);
}

}  // namespace lumra::sys::posix
