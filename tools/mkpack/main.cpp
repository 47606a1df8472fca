// mkpack: builds a resource pack from pictures and writes it as C++ source, a byte array to link
// into a program, with a header declaring it. Pictures are the framework's serialised images;
// each is checked by loading it and stored again in its own storage mode.
// Exit status 0 success, 1 failure (one line on stderr), 2 usage error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/memstream.h"
#include "framework/base/resource_pack.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"

namespace {

using namespace lumra;

constexpr const char* kUsage =
    "usage: mkpack --output PACK.cpp --header PACK.h --symbol NAME [--namespace NS] ID=PICTURE...\n";

constexpr const char* kHelp =
    "Packs pictures (serialised raster images) into a resource pack and writes it as a C++ byte\n"
    "array NS::NAME (with NS::NAME_size) in PACK.cpp, declared in PACK.h.\n"
    "ID is the picture's resource identifier (1 or more, each once); records are stored in\n"
    "ascending identifier order, all of type 0 (picture), and the pack ends with a zero length.\n"
    "\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

struct Picture {
  int64_t id;
  std::string path;
};

struct Options {
  std::string output, header, symbol, name_space = "lumra";
  std::vector<Picture> pictures;
};

[[noreturn]] void usage_error(const char* what) {
  std::fprintf(stderr, "mkpack: %s\n%s", what, kUsage);
  std::exit(2);
}

[[noreturn]] void failure(const std::string& what) {
  std::fprintf(stderr, "mkpack: %s\n", what.c_str());
  std::exit(1);
}

bool is_identifier(const std::string& s, bool allow_scope) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (allow_scope && c == ':' && i + 1 < s.size() && s[i + 1] == ':' && i > 0) {
      ++i;
      continue;
    }
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9' && s[i - 1] != ':')) return false;
  }
  return s.back() != ':';
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::printf("%s\n%s", kUsage, kHelp);
      std::exit(0);
    }
    if (a == "--output" || a == "--header" || a == "--symbol" || a == "--namespace") {
      if (i + 1 >= argc) usage_error("option without its value");
      const std::string v = argv[++i];
      (a == "--output" ? o.output : a == "--header" ? o.header : a == "--symbol" ? o.symbol : o.name_space) = v;
      continue;
    }
    const size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == a.size()) usage_error("expected ID=PICTURE");
    char* end = nullptr;
    errno = 0;
    const long long id = std::strtoll(a.c_str(), &end, 10);
    if (end != a.c_str() + eq || errno || id < 1 || id > INT32_MAX) usage_error("identifier outside 1..2147483647");
    o.pictures.push_back({id, a.substr(eq + 1)});
  }
  if (o.output.empty() || o.header.empty() || o.symbol.empty()) usage_error("--output, --header and --symbol are needed");
  if (!is_identifier(o.symbol, false)) usage_error("symbol is not a C++ identifier");
  if (!is_identifier(o.name_space, true)) usage_error("namespace is not a C++ namespace name");
  if (o.pictures.empty()) usage_error("no pictures");
  std::sort(o.pictures.begin(), o.pictures.end(), [](const Picture& a, const Picture& b) { return a.id < b.id; });
  for (size_t i = 1; i < o.pictures.size(); ++i) {
    if (o.pictures[i].id == o.pictures[i - 1].id) usage_error("an identifier is given twice");
  }
  return o;
}

// The picture as a record payload: loaded (so a broken file stops the build) and stored again.
std::vector<uint8_t> payload_of(const Picture& p) {
  std::FILE* f = std::fopen(p.path.c_str(), "rb");
  if (!f) failure(p.path + ": " + std::strerror(errno));
  base::MemStream in{};
  base::stream_setup(&in);
  const int read = base::stream_read_file(&in, f, -1);
  std::fclose(f);
  if (!read) failure(p.path + ": cannot read the file");
  image::Image img{};
  if (!image::image_load_stream(&img, &in)) failure(p.path + ": not a picture: " + base::last_error());
  if (base::stream_remaining(&in) != 0) failure(p.path + ": bytes after the picture");
  base::stream_release(&in);
  base::MemStream out{};
  base::stream_setup(&out);
  if (!image::image_save_stream(&img, &out, image::storage_mode(&img))) failure(p.path + ": " + base::last_error());
  std::vector<uint8_t> bytes(out.data, out.data + out.size);
  base::stream_release(&out);
  image::image_free(&img);
  return bytes;
}

std::vector<uint8_t> build_pack(const Options& o) {
  std::vector<uint8_t> pack;
  for (const Picture& p : o.pictures) {
    const std::vector<uint8_t> payload = payload_of(p);
    if (payload.size() > UINT32_MAX - base::kPackRecordHeader) failure(p.path + ": picture too large for a pack");
    uint8_t head[base::kPackRecordHeader];
    base::store_u32le(head, static_cast<uint32_t>(payload.size() + base::kPackRecordHeader));
    head[4] = static_cast<uint8_t>(base::kResourcePicture);
    base::store_u32le(head + 5, static_cast<uint32_t>(p.id));
    pack.insert(pack.end(), head, head + sizeof head);
    pack.insert(pack.end(), payload.begin(), payload.end());
  }
  pack.insert(pack.end(), 4, 0);
  return pack;
}

void write_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) failure(path + ": " + std::strerror(errno));
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) failure(path + ": cannot write the file");
}

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const std::vector<uint8_t> pack = build_pack(o);
  std::string comment = "// Generated by mkpack from";
  for (const Picture& p : o.pictures) comment += " " + std::to_string(p.id) + "=" + base_name(p.path);
  comment += ". Do not edit.\n";

  std::string header = comment;
  header += "#pragma once\n\n#include <cstddef>\n#include <cstdint>\n\nnamespace " + o.name_space + " {\n\n";
  header += "// A resource pack of " + std::to_string(o.pictures.size()) + " picture(s), " +
            std::to_string(pack.size()) + " bytes: register it with lumra::base::pack_register.\n";
  header += "extern const uint8_t " + o.symbol + "[];\nextern const size_t " + o.symbol + "_size;\n\n}\n";

  std::string source = comment;
  source += "#include \"" + base_name(o.header) + "\"\n\nnamespace " + o.name_space + " {\n\n";
  source += "alignas(8) const uint8_t " + o.symbol + "[] = {";
  char hex[16];
  for (size_t i = 0; i < pack.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%s0x%02x,", i % 16 ? " " : "\n    ", pack[i]);
    source += hex;
  }
  source += "\n};\nconst size_t " + o.symbol + "_size = sizeof " + o.symbol + ";\n\n}\n";
  write_file(o.header, header);
  write_file(o.output, source);
  return 0;
}
