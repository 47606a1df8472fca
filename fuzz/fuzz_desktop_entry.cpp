// The freedesktop readers on hostile bytes: the input is read as a key file (the lookups the
// browser search makes, each value unescaped and split as a list) and its Exec value, or failing
// that the whole input, is expanded as an Exec line. Whatever expands must respect the command
// limit and place the file where it says.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/xdg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::sys::xdg;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string value;
  for (const char* group : {"Default Applications", "Added Associations", "Removed Associations", "MIME Cache"}) {
    if (find_value(text, group, "text/html", &value)) {
      for (const std::string& id : split_list(value)) {
        // Items are never empty, and hold a ";" only where the value escaped one.
        if (id.empty() || (id.find(';') != std::string::npos && value.find("\\;") == std::string::npos)) std::abort();
      }
    }
  }
  std::string exec(text);
  if (find_value(text, "Desktop Entry", "Exec", &value)) exec = unescape(value);
  const ExecContext context{"/tmp/LVR1A2B.tmp/index.html", "icon", "Name", "/usr/share/applications/b.desktop"};
  ExecCommand command;
  if (expand_exec(exec, context, &command)) {
    size_t total = 0;
    for (const std::string& a : command.arguments) total += a.size() + 1;
    if (command.arguments.empty() || command.arguments.front().empty()) std::abort();
    if (total > kMaxCommandBytes + context.file.size() + 1) std::abort();
    if (command.file_argument >= command.arguments.size()) std::abort();
    if (command.arguments[command.file_argument].find(context.file) == std::string::npos) std::abort();
  }
  return 0;
}
