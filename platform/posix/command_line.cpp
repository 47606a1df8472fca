// Windows command-line splitting for a system whose programs take an argument list: the rules
// of the Microsoft C run-time's start-up code (2008 and later), which callers' argument texts are
// written for. Pure text work; nothing here touches the system.
#include <string>
#include <vector>

#include "platform/system/process.h"

namespace lumra::sys {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_arguments(const char* text) {
  std::vector<std::string> arguments;
  if (!text) return arguments;
  const char* p = text;
  bool quoted = false;
  for (;;) {
    while (is_blank(*p)) ++p;
    if (*p == '\0') break;
    std::string& argument = arguments.emplace_back();
    for (;;) {
      size_t backslashes = 0;
      while (*p == '\\') {
        ++p;
        ++backslashes;
      }
      bool keep = true;
      if (*p == '"') {
        if (backslashes % 2 == 0) {
          if (quoted && p[1] == '"') {
            ++p;  // "" inside quotes: the second quote is kept and the quotes go on
          } else {
            keep = false;
            quoted = !quoted;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (*p == '\0' || (!quoted && is_blank(*p))) break;
      if (keep) argument.push_back(*p);
      ++p;
    }
  }
  return arguments;
}

std::string quote_argument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as themselves unless a quote follows: then each is doubled and the
    // quote is escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');  // they stand before the closing quote
  quoted.push_back('"');
  return quoted;
}

}  // namespace lumra::sys
