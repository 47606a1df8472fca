// mkstroke: turns Hershey stroke fonts (James Hurt's .jhf text format, as Debian's hershey-fonts-data
// ships them) into the framework's embedded stroke-face table, C++ source linked into the graphics
// library, and copies the acknowledgement the data's licence asks to travel with it.
// Exit status 0 success, 1 failure (one line on stderr), 2 usage error.
//
// A .jhf glyph is one record: a 5-column number (unused here), a 3-column count of coordinate
// pairs, then the pairs, two characters each, every coordinate the character's code minus 'R'.
// The first pair is the glyph's left and right edge; " R" lifts the pen. Long records may be
// continued on the following lines. The files hold the characters from 32 on, in order.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: mkstroke --output FACES.cpp [--copyright FILE --acknowledgement OUT]\n"
    "                [--symbol FILE.jhf:CODE=OEM]... NAME=FILE.jhf...\n";

constexpr const char* kHelp =
    "Writes the stroke-face table (kStrokeFaces, kStrokeFaceCount of framework/graphics/stroke_font.h)\n"
    "to FACES.cpp: one face per NAME=FILE.jhf, in the order given (the first is font 0's), with the\n"
    "file's characters 32 to 126 under the same OEM codes. Each --symbol adds the glyph of character\n"
    "CODE of FILE.jhf to every face under OEM code OEM (128..255). OEM codes from 127 on without a\n"
    "glyph draw '?'; codes below 32 draw nothing.\n"
    "--copyright reads the licence stanza \"hershey-license\" from a Debian copyright file and\n"
    "--acknowledgement writes it, the text to distribute with the font data.\n"
    "\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

// Hershey's occidental faces put the baseline at y = 9 and the top of the capitals at -12.
constexpr int kBaseline = 9;
constexpr int kFirstCode = 32;
constexpr int kLastAscii = 126;
constexpr size_t kMaxFileBytes = 1u << 20;  // the largest Debian file is 60 KB
constexpr int kPenUp = -128;

struct Pair {
  int x;
  int y;
};

struct Glyph {
  bool present = false;
  int left = 0;
  int right = 0;
  std::vector<Pair> points;  // kPenUp x for a lift; x, y as in the file
};

struct Symbol {
  std::string file;
  int code;
  int oem;
};

struct FaceSpec {
  std::string name;
  std::string file;
};

struct Options {
  std::string output, copyright, acknowledgement;
  std::vector<Symbol> symbols;
  std::vector<FaceSpec> faces;
};

[[noreturn]] void usage_error(const std::string& what) {
  std::fprintf(stderr, "mkstroke: %s\n%s", what.c_str(), kUsage);
  std::exit(2);
}

[[noreturn]] void failure(const std::string& what) {
  std::fprintf(stderr, "mkstroke: %s\n", what.c_str());
  std::exit(1);
}

std::string read_file(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) failure(path + ": " + std::strerror(errno));
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    text.append(buffer, n);
    if (text.size() > kMaxFileBytes) {
      std::fclose(f);
      failure(path + ": larger than a font file can be");
    }
  }
  const bool error = std::ferror(f);
  std::fclose(f);
  if (error) failure(path + ": cannot read the file");
  return text;
}

void write_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) failure(path + ": " + std::strerror(errno));
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) failure(path + ": cannot write the file");
}

bool parse_int(const std::string& s, int low, int high, int* out) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  *out = v;
  return true;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The glyphs of a .jhf file, the first being character 32.
std::vector<Glyph> read_jhf(const std::string& path) {
  const std::vector<std::string> lines = split_lines(read_file(path));
  std::vector<Glyph> glyphs;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string record = lines[i];
    if (record.find_first_not_of(' ') == std::string::npos) continue;
    const std::string where = path + ": record " + std::to_string(glyphs.size() + 1);
    if (record.size() < 10) failure(where + " is too short");
    std::string count_text = record.substr(5, 3);
    count_text.erase(0, count_text.find_first_not_of(' '));
    int count = 0;
    if (!parse_int(count_text, 1, 999, &count)) failure(where + " has no pair count");
    const size_t wanted = 8 + 2 * static_cast<size_t>(count);
    // A record longer than a line goes on in the next ones.
    while (record.size() < wanted && i + 1 < lines.size()) record += lines[++i];
    if (record.size() < wanted) failure(where + " ends before its " + std::to_string(count) + " pairs");
    if (record.size() > wanted && record.find_first_not_of(' ', wanted) != std::string::npos) {
      failure(where + " holds more than its " + std::to_string(count) + " pairs");
    }
    Glyph g;
    g.present = true;
    for (int k = 0; k < count; ++k) {
      const char a = record[8 + 2 * k], b = record[9 + 2 * k];
      if (a < ' ' || a > '~' || b < ' ' || b > '~') failure(where + " holds a character outside the format");
      if (k == 0) {
        g.left = a - 'R';
        g.right = b - 'R';
      } else if (a == ' ' && b == 'R') {
        g.points.push_back({kPenUp, kPenUp});
      } else {
        g.points.push_back({a - 'R', b - 'R'});
      }
    }
    if (g.right < g.left) failure(where + " has its right edge left of its left edge");
    glyphs.push_back(std::move(g));
  }
  if (glyphs.size() < static_cast<size_t>(kLastAscii - kFirstCode + 1)) {
    failure(path + ": fewer glyphs than the printable ASCII characters");
  }
  return glyphs;
}

// The "hershey-license" stanza of a Debian machine-readable copyright file, its continuation
// lines unindented and "." lines made empty.
std::string licence_stanza(const std::string& path) {
  const std::vector<std::string> lines = split_lines(read_file(path));
  std::string out;
  bool inside = false;
  for (const std::string& line : lines) {
    if (!inside) {
      if (line.rfind("License: hershey-license", 0) == 0) inside = true;
      continue;
    }
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) break;
    const std::string body = line.substr(1);
    out += (body == "." ? "" : body) + "\n";
  }
  if (out.find("A. V. Hershey") == std::string::npos || out.find("James Hurt") == std::string::npos) {
    failure(path + ": no Hershey licence stanza with its acknowledgements");
  }
  return out;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::printf("%s\n%s", kUsage, kHelp);
      std::exit(0);
    }
    if (a == "--output" || a == "--copyright" || a == "--acknowledgement" || a == "--symbol") {
      if (i + 1 >= argc) usage_error("option without its value");
      const std::string v = argv[++i];
      if (a == "--symbol") {
        const size_t colon = v.rfind(':'), eq = v.rfind('=');
        Symbol s{};
        if (colon == std::string::npos || eq == std::string::npos || eq < colon || colon == 0 ||
            !parse_int(v.substr(colon + 1, eq - colon - 1), kFirstCode, 255, &s.code) ||
            !parse_int(v.substr(eq + 1), 128, 255, &s.oem)) {
          usage_error("expected --symbol FILE.jhf:CODE=OEM with OEM in 128..255");
        }
        s.file = v.substr(0, colon);
        o.symbols.push_back(s);
      } else {
        (a == "--output" ? o.output : a == "--copyright" ? o.copyright : o.acknowledgement) = v;
      }
      continue;
    }
    const size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == a.size()) usage_error("expected NAME=FILE.jhf");
    const std::string name = a.substr(0, eq);
    for (const char c : name) {
      const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
      if (!ok) usage_error("a face name holds letters, digits and '_' only");
    }
    if (name.size() > 31) usage_error("a face name has at most 31 characters");
    o.faces.push_back({name, a.substr(eq + 1)});
  }
  if (o.output.empty()) usage_error("--output is needed");
  if (o.faces.empty()) usage_error("no faces");
  if (o.copyright.empty() != o.acknowledgement.empty()) usage_error("--copyright and --acknowledgement go together");
  return o;
}

struct Face {
  std::string name;
  int ascent = 0;
  int descent = 0;
  std::vector<const Glyph*> by_code;  // 256
};

// Extent of the glyphs of codes first..last in y (the file's coordinates).
void y_range(const std::vector<Glyph>& glyphs, char first, char last, int* top, int* bottom) {
  for (int c = first; c <= last; ++c) {
    for (const Pair& p : glyphs[static_cast<size_t>(c - kFirstCode)].points) {
      if (p.x == kPenUp) continue;
      if (p.y < *top) *top = p.y;
      if (p.y > *bottom) *bottom = p.y;
    }
  }
}

// The points of a glyph met before (the '?' many codes draw) are shared.
void append_glyph(const Glyph* g, std::map<const Glyph*, size_t>* placed, std::string* points, size_t* point_count,
                  std::string* table, const std::string& where) {
  char line[96];
  if (!g) {
    *table += "    {0, 0, 0},\n";
    return;
  }
  const int advance = g->right - g->left;
  if (advance > 255) failure(where + ": a glyph wider than the table holds");
  const auto known = placed->find(g);
  const size_t first = known != placed->end() ? known->second : *point_count;
  std::snprintf(line, sizeof line, "    {%zu, %zu, %d},\n", first, g->points.size(), advance);
  *table += line;
  if (known != placed->end()) return;
  (*placed)[g] = first;
  for (const Pair& p : g->points) {
    int x = p.x, y = p.y;
    if (x != kPenUp) {
      x -= g->left;
      y -= kBaseline;
      if (x < -127 || x > 127 || y < -127 || y > 127) failure(where + ": a point outside the table's range");
    }
    std::snprintf(line, sizeof line, "%s%d, %d,", *point_count % 8 ? " " : "\n    ", x, y == kPenUp ? kPenUp : y);
    *points += line;
    ++*point_count;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  // Each file read once, so a glyph used twice is one glyph; faces point into them.
  std::map<std::string, std::vector<Glyph>> files;
  const auto glyphs_of = [&files](const std::string& path) -> const std::vector<Glyph>& {
    auto at = files.find(path);
    if (at == files.end()) at = files.emplace(path, read_jhf(path)).first;
    return at->second;
  };
  std::vector<const Glyph*> symbol_glyphs(256, nullptr);
  for (const Symbol& s : o.symbols) {
    const std::vector<Glyph>& glyphs = glyphs_of(s.file);
    if (static_cast<size_t>(s.code - kFirstCode) >= glyphs.size()) failure(s.file + ": no character " + std::to_string(s.code));
    symbol_glyphs[static_cast<size_t>(s.oem)] = &glyphs[static_cast<size_t>(s.code - kFirstCode)];
  }

  std::vector<Face> faces;
  for (const FaceSpec& spec : o.faces) {
    const std::vector<Glyph>& glyphs = glyphs_of(spec.file);
    Face f;
    f.name = spec.name;
    f.by_code.assign(256, nullptr);
    for (int c = kFirstCode; c <= kLastAscii; ++c) f.by_code[static_cast<size_t>(c)] = &glyphs[static_cast<size_t>(c - kFirstCode)];
    for (int c = 127; c < 256; ++c) {
      f.by_code[static_cast<size_t>(c)] = symbol_glyphs[static_cast<size_t>(c)] ? symbol_glyphs[static_cast<size_t>(c)] : f.by_code['?'];
    }
    int top = kBaseline, bottom = kBaseline;
    y_range(glyphs, 'A', 'Z', &top, &bottom);
    f.ascent = kBaseline - top;
    top = kBaseline, bottom = kBaseline;
    y_range(glyphs, 'a', 'z', &top, &bottom);
    f.descent = kBaseline - bottom;
    if (f.ascent <= 0 || f.ascent > 127 || f.descent > 0 || f.descent < -127) failure(spec.file + ": metrics outside the table's range");
    faces.push_back(std::move(f));
  }

  std::string out = "// Generated by mkstroke from the Hershey fonts data. Do not edit.\n";
  out += "#include \"framework/graphics/stroke_font.h\"\n\nnamespace lumra::graphics {\nnamespace {\n\n";
  std::string list = "}  // namespace\n\nconst StrokeFace kStrokeFaces[] = {\n";
  for (size_t i = 0; i < faces.size(); ++i) {
    const Face& f = faces[i];
    std::string points, table;
    size_t point_count = 0;
    std::map<const Glyph*, size_t> placed;
    for (int c = 0; c < 256; ++c) {
      append_glyph(f.by_code[static_cast<size_t>(c)], &placed, &points, &point_count, &table, o.faces[i].file);
    }
    if (point_count > UINT32_MAX) failure(o.faces[i].file + ": too many points");
    const std::string id = std::to_string(i);
    out += "const int8_t kPoints" + id + "[] = {" + (point_count ? points : "0, 0,") + "\n};\n\n";
    out += "const StrokeGlyph kGlyphs" + id + "[256] = {\n" + table + "};\n\n";
    list += "    {\"" + f.name + "\", " + std::to_string(f.ascent) + ", " + std::to_string(f.descent) + ", kGlyphs" + id +
            ", kPoints" + id + "},\n";
  }
  out += list + "};\nconst int32_t kStrokeFaceCount = " + std::to_string(faces.size()) + ";\n\n}  // namespace lumra::graphics\n";

  if (!o.copyright.empty()) {
    const std::string text =
        "Lumra's stroke fonts are made from the Hershey Fonts data as Debian's hershey-fonts-data\n"
        "package distributes it. That data comes with this licence and these acknowledgements:\n\n" +
        licence_stanza(o.copyright);
    write_file(o.acknowledgement, text);
  }
  write_file(o.output, out);
  return 0;
}
