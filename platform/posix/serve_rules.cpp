#include "platform/posix/serve_rules.h"

#include <array>
#include <charconv>
#include <utility>

namespace lumra::sys::serve {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Decodes one path component; 0 when it is fine, else the status to answer with.
int decode_component(std::string_view raw, std::string* out) {
  out->clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    if (c == '%') {
      if (i + 2 >= raw.size()) return 400;  // cut short
      const int high = hex_value(raw[i + 1]);
      const int low = hex_value(raw[i + 2]);
      if (high < 0 || low < 0) return 400;
      c = static_cast<unsigned char>(high * 16 + low);
      i += 2;
    }
    // Separators and names the file system or a shell would read otherwise are refused,
    // wherever they come from.
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return 400;
    out->push_back(static_cast<char>(c));
  }
  if (out->empty()) return 404;  // "a//b" or a trailing "/": no file is named
  if (*out == "." || *out == "..") return 400;
  return 0;
}

bool parse_number(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

Target map_request_path(std::string_view raw, std::string_view token) {
  Target target;
  if (const size_t cut = raw.find_first_of("?#"); cut != std::string_view::npos) raw = raw.substr(0, cut);
  if (raw.size() > kMaxPathBytes) {
    target.status = 414;
    return target;
  }
  if (token.empty() || raw.size() < token.size() + 2 || raw[0] != '/' || raw.substr(1, token.size()) != token ||
      raw[token.size() + 1] != '/') {
    return target;  // 404: not under the token
  }
  std::string_view rest = raw.substr(token.size() + 2);
  if (rest.empty()) return target;  // the folder itself: no listing
  std::string component;
  while (true) {
    const size_t slash = rest.find('/');
    const std::string_view piece = rest.substr(0, slash);
    if (const int status = decode_component(piece, &component); status != 0) {
      target.status = status;
      target.components.clear();
      return target;
    }
    if (target.components.size() == kMaxComponents) {
      target.status = 414;
      target.components.clear();
      return target;
    }
    target.components.push_back(component);
    if (slash == std::string_view::npos) break;
    rest = rest.substr(slash + 1);
  }
  target.status = 200;
  return target;
}

bool host_allowed(std::string_view host, uint16_t port, bool ipv6) {
  const std::string suffix = ":" + std::to_string(port);
  if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix) return false;
  const std::string_view name = host.substr(0, host.size() - suffix.size());
  return name == "127.0.0.1" || equal_ignoring_case(name, "localhost") || (ipv6 && name == "[::1]");
}

const char* content_type(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, const char*>, 24> kTypes{{
      {"html", "text/html; charset=utf-8"},
      {"htm", "text/html; charset=utf-8"},
      {"js", "text/javascript; charset=utf-8"},
      {"mjs", "text/javascript; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},
      {"json", "application/json"},
      {"wasm", "application/wasm"},
      {"png", "image/png"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},
      {"svg", "image/svg+xml"},
      {"webp", "image/webp"},
      {"glb", "model/gltf-binary"},
      {"gltf", "model/gltf+json"},
      {"bin", "application/octet-stream"},
      {"mp4", "video/mp4"},
      {"webm", "video/webm"},
      {"ogg", "audio/ogg"},
      {"mp3", "audio/mpeg"},
      {"wav", "audio/wav"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"txt", "text/plain; charset=utf-8"},
  }};
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) return "application/octet-stream";
  const std::string_view extension = name.substr(dot + 1);
  for (const auto& [known, type] : kTypes) {
    if (equal_ignoring_case(extension, known)) return type;
  }
  return "application/octet-stream";
}

Range parse_range(std::string_view header, uint64_t size) {
  Range range;
  constexpr std::string_view kUnit = "bytes=";
  if (header.size() <= kUnit.size() || !equal_ignoring_case(header.substr(0, kUnit.size()), kUnit)) return range;
  const std::string_view spec = header.substr(kUnit.size());
  if (spec.find(',') != std::string_view::npos) return range;  // several ranges: the whole file
  const size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return range;
  const std::string_view first_text = spec.substr(0, dash);
  const std::string_view last_text = spec.substr(dash + 1);
  uint64_t first = 0, last = 0;
  if (first_text.empty()) {
    // "-N": the last N bytes.
    if (!parse_number(last_text, &last)) return range;
    if (last == 0 || size == 0) {
      range.kind = Range::kUnsatisfiable;
      return range;
    }
    range.kind = Range::kPart;
    range.length = last < size ? last : size;
    range.first = size - range.length;
    return range;
  }
  if (!parse_number(first_text, &first)) return range;
  if (last_text.empty()) {
    last = size == 0 ? 0 : size - 1;
  } else if (!parse_number(last_text, &last) || last < first) {
    return range;  // not understood: the whole file, as the header may be ignored
  }
  if (first >= size) {
    range.kind = Range::kUnsatisfiable;
    return range;
  }
  if (last >= size) last = size - 1;
  range.kind = Range::kPart;
  range.first = first;
  range.length = last - first + 1;
  return range;
}

}  // namespace lumra::sys::serve
