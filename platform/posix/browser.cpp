// The browser lookup over $BROWSER, the freedesktop mimeapps.list / mimeinfo.cache / desktop
// entry files (parsed by platform/posix/xdg) and x-www-browser. Every file is read with a size
// limit, only when it is a regular file, and without waiting on a FIFO planted under its name.
#include "platform/system/browser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/posix/desktop_spawn.h"
#include "platform/posix/xdg.h"

namespace lumra::sys {
namespace {

using posix::find_program;

constexpr size_t kMaxFolders = 32;       // per XDG folder list
constexpr size_t kMaxDesktopNames = 8;   // from $XDG_CURRENT_DESKTOP
constexpr int kMaxIdProbes = 64;         // folder tests per desktop-file ID
constexpr int kMaxIdDepth = 4;           // sub-folders an ID may stand for

const char* const kTypes[] = {"text/html", "x-scheme-handler/http"};

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> out;
  while (true) {
    const size_t end = text.find(separator);
    out.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

std::string without_trailing_slash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// The absolute folders of a ":"-list; `fallback` when the variable is unset or empty. Relative
// entries are invalid by the base-directory rules and passed over.
std::vector<std::string> folder_list(const char* variable, const char* fallback) {
  std::string value = env(variable);
  if (value.empty()) value = fallback;
  std::vector<std::string> out;
  for (std::string& f : split(value, ':')) {
    if (!f.empty() && f.front() == '/' && out.size() < kMaxFolders) out.push_back(without_trailing_slash(std::move(f)));
  }
  return out;
}

// $XDG_CONFIG_HOME or $XDG_DATA_HOME, or its default below $HOME; "" when neither is absolute.
std::string home_folder(const char* variable, const char* below_home) {
  const std::string value = env(variable);
  if (!value.empty() && value.front() == '/') return without_trailing_slash(value);
  const std::string home = env("HOME");
  if (!home.empty() && home.front() == '/') return without_trailing_slash(home) + below_home;
  return "";
}

struct Places {
  std::vector<std::string> config;        // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
  std::vector<std::string> applications;  // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS
  std::vector<std::string> desktops;      // lower-cased names from $XDG_CURRENT_DESKTOP
};

Places places() {
  Places p;
  if (std::string h = home_folder("XDG_CONFIG_HOME", "/.config"); !h.empty()) p.config.push_back(h);
  for (std::string& f : folder_list("XDG_CONFIG_DIRS", "/etc/xdg")) p.config.push_back(std::move(f));
  if (std::string h = home_folder("XDG_DATA_HOME", "/.local/share"); !h.empty()) p.applications.push_back(h);
  for (std::string& f : folder_list("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) p.applications.push_back(std::move(f));
  for (std::string& f : p.applications) f += "/applications";
  for (std::string& d : split(env("XDG_CURRENT_DESKTOP"), ':')) {
    if (d.empty() || d.find('/') != std::string::npos || p.desktops.size() == kMaxDesktopNames) continue;
    std::transform(d.begin(), d.end(), d.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    p.desktops.push_back(std::move(d));
  }
  return p;
}

// The whole of a regular file of at most `limit` bytes.
bool read_text(const std::string& path, size_t limit, std::string* out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= limit;
  out->clear();
  if (ok) {
    // One byte more than the limit tells a file that grew since fstat.
    out->resize(limit + 1);
    size_t got = 0;
    while (got < out->size()) {
      const ssize_t n = read(fd, out->data() + got, out->size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      got += static_cast<size_t>(n);
    }
    ok = ok && got <= limit;
    out->resize(ok ? got : 0);
  }
  close(fd);
  return ok;
}

bool is_file(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_folder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A desktop-file ID as mimeapps.list and mimeinfo.cache give them; never a path.
bool is_valid_id(std::string_view id) {
  constexpr std::string_view kSuffix = ".desktop";
  return id.size() > kSuffix.size() && id.size() <= NAME_MAX && id.substr(id.size() - kSuffix.size()) == kSuffix &&
         id.front() != '.' && id.front() != '-' && id.find('/') == std::string_view::npos;
}

// The file of `id` below one applications folder: "a-b-c.desktop" may stand for a-b-c.desktop,
// a/b-c.desktop, a-b/c.desktop, a/b/c.desktop and so on.
bool find_desktop_file(const std::string& folder, std::string_view id, int depth, int* probes, std::string* path) {
  if (++*probes > kMaxIdProbes) return false;
  if (std::string direct = folder + "/" + std::string(id); is_file(direct)) {
    *path = std::move(direct);
    return true;
  }
  if (depth == kMaxIdDepth) return false;
  for (size_t dash = id.find('-'); dash != std::string_view::npos; dash = id.find('-', dash + 1)) {
    const std::string sub = folder + "/" + std::string(id.substr(0, dash));
    if (dash > 0 && is_folder(sub) && find_desktop_file(sub, id.substr(dash + 1), depth + 1, probes, path)) return true;
    if (*probes > kMaxIdProbes) return false;
  }
  return false;
}

bool value_of(const std::string& text, const char* group, const char* key, std::string* out) {
  return xdg::find_value(text, group, key, out);
}

// The command of the desktop entry `id` for the page; false when it is not installed or not
// usable. The first applications folder holding the ID decides, usable or not.
bool command_of_entry(const Places& p, std::string_view id, const std::string& page, BrowserCommand* out) {
  if (!is_valid_id(id)) return false;
  for (const std::string& folder : p.applications) {
    std::string path;
    int probes = 0;
    if (!find_desktop_file(folder, id, 0, &probes, &path)) continue;
    std::string text;
    if (!read_text(path, xdg::kMaxKeyFileBytes, &text)) return false;
    constexpr const char* kGroup = "Desktop Entry";
    std::string value;
    if (value_of(text, kGroup, "Hidden", &value) && value == "true") return false;
    if (value_of(text, kGroup, "Type", &value) && value != "Application") return false;
    if (value_of(text, kGroup, "TryExec", &value) && find_program(xdg::unescape(value)).empty()) return false;
    std::string exec;
    if (!value_of(text, kGroup, "Exec", &exec)) return false;
    xdg::ExecContext context;
    context.file = page;
    context.desktop_file = path;
    if (value_of(text, kGroup, "Icon", &value)) context.icon = xdg::unescape(value);
    if (value_of(text, kGroup, "Name", &value)) context.name = xdg::unescape(value);
    xdg::ExecCommand command;
    if (!xdg::expand_exec(xdg::unescape(exec), context, &command)) return false;
    const std::string program = find_program(command.arguments.front());
    if (program.empty()) return false;
    out->program = program;
    out->arguments.assign(command.arguments.begin() + 1, command.arguments.end());
    out->page_argument = command.file_argument - 1;
    out->origin = path;
    // A field code standing as the program leaves no page argument; the page then goes last.
    if (command.file_argument == 0) {
      out->page_argument = out->arguments.size();
      out->arguments.push_back(page);
    }
    return true;
  }
  return false;
}

struct ListFile {
  std::string path;
  bool desktop_specific;
};

// The mimeapps.list files of one folder, desktop-specific ones first.
void add_lists(const Places& p, const std::string& folder, std::vector<ListFile>* out) {
  for (const std::string& d : p.desktops) out->push_back({folder + "/" + d + "-mimeapps.list", true});
  out->push_back({folder + "/mimeapps.list", false});
}

std::vector<std::string> ids_in(const std::string& text, const char* group, const char* type) {
  std::string value;
  if (!xdg::find_value(text, group, type, &value)) return {};
  return xdg::split_list(value);
}

bool from_defaults(const Places& p, const char* type, const std::string& page, BrowserCommand* out) {
  std::vector<ListFile> lists;
  for (const std::string& f : p.config) add_lists(p, f, &lists);
  for (const std::string& f : p.applications) add_lists(p, f, &lists);
  for (const ListFile& list : lists) {
    std::string text;
    if (!read_text(list.path, xdg::kMaxKeyFileBytes, &text)) continue;
    for (const std::string& id : ids_in(text, "Default Applications", type)) {
      if (command_of_entry(p, id, page, out)) return true;
    }
  }
  return false;
}

// The type's associations in order of preference, less those removed before them.
bool from_associations(const Places& p, const char* type, const std::string& page, BrowserCommand* out) {
  std::vector<std::string> candidates;
  std::vector<std::string> removed;
  const auto take = [&](const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
      if (std::find(removed.begin(), removed.end(), id) == removed.end() &&
          std::find(candidates.begin(), candidates.end(), id) == candidates.end()) {
        candidates.push_back(id);
      }
    }
  };
  const auto read_list = [&](const std::string& folder) {
    std::string text;
    if (!read_text(folder + "/mimeapps.list", xdg::kMaxKeyFileBytes, &text)) return;
    take(ids_in(text, "Added Associations", type));
    for (std::string& id : ids_in(text, "Removed Associations", type)) removed.push_back(std::move(id));
  };
  for (const std::string& f : p.config) read_list(f);
  for (const std::string& f : p.applications) {
    read_list(f);
    std::string cache;
    if (read_text(f + "/mimeinfo.cache", xdg::kMaxCacheBytes, &cache)) take(ids_in(cache, "MIME Cache", type));
  }
  for (const std::string& id : candidates) {
    if (command_of_entry(p, id, page, out)) return true;
  }
  return false;
}

// One $BROWSER entry: a program and arguments separated by blanks, "%s" the page, "%%" a "%".
bool from_browser_entry(std::string_view entry, const std::string& page, BrowserCommand* out) {
  std::vector<std::string> words;
  for (std::string& w : split(entry, ' ')) {
    for (std::string& part : split(w, '\t')) {
      if (!part.empty()) words.push_back(std::move(part));
    }
  }
  if (words.empty()) return false;
  const std::string program = find_program(words.front());
  if (program.empty()) return false;
  BrowserCommand c;
  c.program = program;
  bool placed = false;
  for (size_t i = 1; i < words.size(); ++i) {
    std::string arg;
    const std::string& w = words[i];
    for (size_t k = 0; k < w.size(); ++k) {
      if (w[k] == '%' && k + 1 < w.size() && (w[k + 1] == 's' || w[k + 1] == '%')) {
        if (w[k + 1] == 's') {
          if (!placed) c.page_argument = c.arguments.size();
          placed = true;
          arg += page;
        } else {
          arg += '%';
        }
        ++k;
      } else {
        arg += w[k];
      }
    }
    c.arguments.push_back(std::move(arg));
  }
  if (!placed) {
    c.page_argument = c.arguments.size();
    c.arguments.push_back(page);
  }
  c.origin = "BROWSER";
  *out = std::move(c);
  return true;
}

std::string resolved(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string out = real;
  std::free(real);
  return out;
}

}  // namespace

int find_browser(const char* page, BrowserCommand* out) {
  struct stat st {};
  if (!page || !*page || stat(page, &st) != 0) return kBrowserPageMissing;
  const std::string p = page;
  BrowserCommand found;
  bool ok = false;
  for (const std::string& entry : split(env("BROWSER"), ':')) {
    if ((ok = from_browser_entry(entry, p, &found))) break;
  }
  if (!ok) {
    const Places places_here = places();
    for (const char* type : kTypes) {
      if ((ok = from_defaults(places_here, type, p, &found) || from_associations(places_here, type, p, &found))) break;
    }
  }
  if (!ok) {
    if (std::string program = find_program("x-www-browser"); !program.empty()) {
      found.program = std::move(program);
      found.arguments = {p};
      found.page_argument = 0;
      found.origin = "x-www-browser";
      ok = true;
    }
  }
  if (!ok) return kBrowserNotFound;
  found.program_target = resolved(found.program);
  *out = std::move(found);
  return kBrowserFound;
}

std::string join_command_line(const std::vector<std::string>& arguments) {
  std::string out;
  for (const std::string& a : arguments) {
    if (!out.empty()) out.push_back(' ');
    if (!a.empty() && a.find_first_of(" \t\n\v\r\"") == std::string::npos) {
      out += a;
      continue;
    }
    out.push_back('"');
    size_t backslashes = 0;
    for (const char c : a) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand.
      out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
  }
  return out;
}

}  // namespace lumra::sys
