// The loopback server's request rules on hostile bytes: the request path (mapped to components
// under the folder), the Host header and the Range header. A path that is accepted must give
// only plain names: none empty, "." or "..", none holding "/", "\", NUL or a control character.
// A range that is accepted must lie inside the file.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/posix/serve_rules.h"

namespace serve = lumra::sys::serve;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view kToken = "00112233445566778899aabbccddeeff";

  const serve::Target target = serve::map_request_path(text, kToken);
  if (target.status == 200) {
    if (target.components.empty() || target.components.size() > serve::kMaxComponents) __builtin_trap();
    for (const std::string& c : target.components) {
      if (c.empty() || c == "." || c == "..") __builtin_trap();
      for (const char ch : c) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x20 || b == 0x7F || ch == '/' || ch == '\\') __builtin_trap();
      }
    }
  } else if (!target.components.empty()) {
    __builtin_trap();
  }
  // The same bytes under the token, so that the component rules are reached every time.
  const std::string under = "/" + std::string(kToken) + "/" + std::string(text);
  (void)serve::map_request_path(under, kToken);

  (void)serve::host_allowed(text, 40000, true);
  (void)serve::content_type(text);

  uint64_t file_size = 0;
  if (size >= 8) std::memcpy(&file_size, data, 8);
  for (const uint64_t s : {file_size, uint64_t{0}, uint64_t{20}}) {
    const serve::Range range = serve::parse_range(text, s);
    if (range.kind == serve::Range::kPart &&
        (range.length == 0 || range.first >= s || range.length > s - range.first)) {
      __builtin_trap();
    }
  }
  return 0;
}
