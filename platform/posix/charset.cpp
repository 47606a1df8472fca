// POSIX character sets through iconv: one converter per direction, opened on first use and
// returned to its initial state before each conversion. Nothing is transliterated: where iconv
// stops, the caller decides what stands in.
#include "platform/system/charset.h"

#include <iconv.h>

#include <cerrno>

namespace lumra::sys {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// [0] UTF-8 to Windows-1252, [1] the other way; kNoConverter until opened.
iconv_t g_converters[2] = {kNoConverter, kNoConverter};

const char* iconv_name(Charset c) { return c == Charset::kUtf8 ? "UTF-8" : "CP1252"; }

}  // namespace

int64_t convert_charset(Charset from, Charset to, std::string_view in, std::string* out) {
  if (from == to) {
    out->append(in);
    return static_cast<int64_t>(in.size());
  }
  iconv_t& cd = g_converters[from == Charset::kUtf8 ? 0 : 1];
  if (cd == kNoConverter) {
    cd = iconv_open(iconv_name(to), iconv_name(from));
    if (cd == kNoConverter) return -1;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[1024];
  char* in_at = const_cast<char*>(in.data());
  size_t in_left = in.size();
  while (in_left > 0) {
    char* out_at = buffer;
    size_t out_left = sizeof buffer;
    const size_t r = iconv(cd, &in_at, &in_left, &out_at, &out_left);
    const int error = errno;
    out->append(buffer, static_cast<size_t>(out_at - buffer));
    // E2BIG only means the buffer is full; anything else stops at the piece it could not take.
    if (r == static_cast<size_t>(-1) && error != E2BIG) break;
  }
  return static_cast<int64_t>(in.size() - in_left);
}

void release_charset_converters() {
  for (iconv_t& cd : g_converters) {
    if (cd != kNoConverter) iconv_close(cd);
    cd = kNoConverter;
  }
}

}  // namespace lumra::sys
