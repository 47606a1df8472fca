// The Windows command-line splitter on hostile text: argument texts come from callers and from
// files such as packages, so any bytes may reach it. The text is exactly the input's bytes up to
// the first NUL (a C string ends there), so a read past its end is a sanitizer report. Every split
// must give no more characters than the text holds, and quoting the arguments back by the same
// rules must split into the same arguments again.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/process.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// One argument written so that the rules give it back unchanged.
std::string quote(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
  std::string q = "\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < a.size() && a[i] == '\\') {
      ++i;
      ++backslashes;
    }
    if (i == a.size()) {
      q.append(backslashes * 2, '\\');  // they stand before the closing quote
      break;
    }
    if (a[i] == '"') {
      q.append(backslashes * 2 + 1, '\\');
    } else {
      q.append(backslashes, '\\');
    }
    q.push_back(a[i]);
  }
  q.push_back('"');
  return q;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* nul = std::memchr(data, 0, size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
  std::unique_ptr<char[]> text(new char[length + 1]);
  std::memcpy(text.get(), data, length);
  text[length] = '\0';

  const std::vector<std::string> arguments = lumra::sys::split_arguments(text.get());
  size_t characters = 0;
  for (const std::string& a : arguments) {
    check(a.find('\0') == std::string::npos);
    characters += a.size();
  }
  check(characters <= length);

  std::string joined;
  for (const std::string& a : arguments) joined += quote(a) + " ";
  check(lumra::sys::split_arguments(joined.c_str()) == arguments);
  return 0;
}
