// The loopback server's rules, as pure functions of the request's text: which file a request
// path names, whether the Host header is ours, the content type of a name and the byte range
// asked for. Kept apart from the server so that they can be tested and fuzzed on their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumra::sys::serve {

// What a request path maps to: status 200 and the path's components inside the served folder
// (each one a plain name: no "/", "\", NUL or control character, never "." or ".."), or the
// status to answer with (400 for a malformed or traversing path, 404 for one outside the token
// or naming no file, 414 for one too long).
struct Target {
  int status = 404;
  std::vector<std::string> components;
};

// Longest request path looked at, and most components of one.
inline constexpr size_t kMaxPathBytes = 4096;
inline constexpr size_t kMaxComponents = 64;

// `raw` is the path as the request line gave it, still percent-encoded; anything from "?" or
// "#" on is left out. It must be "/" + token + "/" + at least one component; every component is
// percent-decoded on its own, so "%2f" can never make a separator and "%2e%2e" is still "..".
Target map_request_path(std::string_view raw, std::string_view token);

// True when the Host header names this server: "127.0.0.1:PORT" or "localhost:PORT" (any case),
// or "[::1]:PORT" when the server listens there too. Anything else (a name a rebinding DNS server
// points at 127.0.0.1, another port, no port) is refused.
bool host_allowed(std::string_view host, uint16_t port, bool ipv6);

// The content type for a file name, by its extension (any case); "application/octet-stream"
// for the rest.
const char* content_type(std::string_view name);

// The byte range a Range header asks of a file of `size` bytes.
struct Range {
  enum Kind : uint8_t {
    kWhole,          // no header, or one not understood or of several ranges: the whole file
    kPart,           // bytes first .. first + length - 1
    kUnsatisfiable,  // 416
  } kind = kWhole;
  uint64_t first = 0;
  uint64_t length = 0;
};
Range parse_range(std::string_view header, uint64_t size);

}  // namespace lumra::sys::serve
