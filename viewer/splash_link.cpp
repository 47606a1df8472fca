#include "viewer/splash_link.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "viewer/viewer_config.h"

namespace lumra::viewer {

std::string link_in_window(const char* window, size_t size) {
  if (!window) return {};
  if (size > kLinkWindow) size = kLinkWindow;
  std::string_view text(window, size);
  text = text.substr(0, text.find('\0'));
  const size_t entry = text.find("link:");
  if (entry == std::string_view::npos) return {};
  const size_t open = text.find('"', entry + 5);
  if (open == std::string_view::npos) return {};
  const size_t close = text.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  const std::string_view link = text.substr(open + 1, close - open - 1);
  if (link.substr(0, 7) != "http://") return {};
  return std::string(link);
}

std::string read_splash_link(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return {};
  char window[kLinkWindow];
  const size_t got = std::fread(window, 1, sizeof window, file);
  std::fclose(file);
  return link_in_window(window, got);
}

}  // namespace lumra::viewer
