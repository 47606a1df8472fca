// Freedesktop key files and Exec lines, read line by line from a view: no structure is built, so a
// lookup in a large mimeinfo.cache costs one pass and no allocation beyond the value found.
#include "platform/posix/xdg.h"

namespace lumra::sys::xdg {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && (is_blank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Appends, keeping the whole command under its limit; false past it.
bool append(std::string* to, std::string_view text, size_t* total) {
  *total += text.size();
  if (*total > kMaxCommandBytes) return false;
  to->append(text);
  return true;
}

}  // namespace

bool find_value(std::string_view text, std::string_view group, std::string_view key, std::string* out) {
  if (text.find('\0') != std::string_view::npos) return false;
  bool in_group = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = trim(line);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      in_group = close != std::string_view::npos && line.substr(1, close - 1) == group;
      continue;
    }
    if (!in_group) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || trim(line.substr(0, equals)) != key) continue;
    *out = std::string(trim(line.substr(equals + 1)));
    return true;
  }
  return false;
}

std::string unescape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c != '\\' || i + 1 == value.size()) {
      out.push_back(c);
      continue;
    }
    switch (value[i + 1]) {
      case 's': out.push_back(' '); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case '\\': out.push_back('\\'); break;
      default: out.push_back('\\'); continue;  // not an escape: the next character stands alone
    }
    ++i;
  }
  return out;
}

std::vector<std::string> split_list(std::string_view value) {
  std::vector<std::string> items;
  std::string item;
  const auto finish = [&] {
    const std::string_view t = trim(item);
    if (!t.empty()) items.emplace_back(t);
    item.clear();
  };
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == ';') {
      item.push_back(';');
      ++i;
    } else if (value[i] == ';') {
      finish();
    } else {
      item.push_back(value[i]);
    }
  }
  finish();
  return items;
}

bool expand_exec(std::string_view exec, const ExecContext& context, ExecCommand* out) {
  *out = ExecCommand{};
  if (exec.find('\0') != std::string_view::npos) return false;
  std::vector<std::string>& args = out->arguments;
  std::string cur;
  bool started = false;  // the current argument exists, even if empty (a pair of quotes)
  bool quoted = false;
  bool has_file = false;
  size_t total = 0;
  const auto finish = [&]() -> bool {
    if (started) {
      if (++total > kMaxCommandBytes) return false;  // the separator
      args.push_back(std::move(cur));
    }
    cur.clear();
    started = false;
    return true;
  };
  const auto separator_at = [&](size_t i) { return i >= exec.size() || is_blank(exec[i]) || exec[i] == '\n'; };
  for (size_t i = 0; i < exec.size();) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
        ++i;
        continue;
      }
      const bool escape = c == '\\' && i + 1 < exec.size() &&
                          (exec[i + 1] == '"' || exec[i + 1] == '`' || exec[i + 1] == '$' || exec[i + 1] == '\\');
      if (!append(&cur, exec.substr(escape ? i + 1 : i, 1), &total)) return false;
      i += escape ? 2 : 1;
      continue;
    }
    if (separator_at(i)) {
      if (!finish()) return false;
      ++i;
      continue;
    }
    if (c == '"') {
      quoted = true;
      started = true;
      ++i;
      continue;
    }
    if (c != '%') {
      if (!append(&cur, exec.substr(i, 1), &total)) return false;
      started = true;
      ++i;
      continue;
    }
    // A field code; a "%" at the very end is one with nothing after it and vanishes.
    const bool alone = !started && separator_at(i + 2);
    const char code = i + 1 < exec.size() ? exec[i + 1] : '\0';
    i += 2;
    std::string_view text;
    switch (code) {
      case 'f':
      case 'F':
      case 'u':
      case 'U':
        if (!has_file) out->file_argument = args.size();
        has_file = true;
        started = true;
        text = context.file;
        break;
      case 'i':
        if (alone) {
          if (!context.icon.empty()) {
            total += 7;  // "--icon" and its separator
            args.emplace_back("--icon");
            text = context.icon;
          }
        } else {
          text = context.icon;
        }
        break;
      case 'c': text = context.name; break;
      case 'k': text = context.desktop_file; break;
      case '%': text = "%"; break;
      default: break;  // deprecated or unknown
    }
    if (!text.empty()) started = true;
    if (!append(&cur, text, &total)) return false;
  }
  if (quoted || !finish()) return false;
  if (args.empty() || args.front().empty()) return false;
  if (!has_file) {
    out->file_argument = args.size();
    if (!append(&cur, context.file, &total)) return false;
    args.push_back(std::move(cur));
  }
  return true;
}

}  // namespace lumra::sys::xdg
