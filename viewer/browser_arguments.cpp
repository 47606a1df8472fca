#include "viewer/browser_arguments.h"

#include <vector>

namespace lumra::viewer {
namespace {

bool names_chrome(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return lower.find("chrome") != std::string::npos || lower.find("chromium") != std::string::npos;
}

}  // namespace

bool is_chrome(const sys::BrowserCommand& browser) {
  return names_chrome(browser.program) || names_chrome(browser.program_target);
}

std::string chrome_profile_folder(const std::string& unpack_folder) {
  return unpack_folder.empty() ? std::string() : unpack_folder.substr(0, unpack_folder.size() - 1);
}

void give_address(sys::BrowserCommand* browser, const std::string& page, const std::string& address) {
  if (page.empty()) return;
  for (std::string& argument : browser->arguments) {
    for (size_t at = 0; (at = argument.find(page, at)) != std::string::npos; at += address.size()) {
      argument.replace(at, page.size(), address);
    }
  }
}

std::string browser_argument_line(const sys::BrowserCommand& browser, const std::string& unpack_folder,
                                  bool served) {
  std::vector<std::string> arguments = browser.arguments;
  if (is_chrome(browser)) {
    const size_t at = browser.page_argument <= arguments.size() ? browser.page_argument : arguments.size();
    std::vector<std::string> switches{"--user-data-dir=" + chrome_profile_folder(unpack_folder)};
    if (!served) switches.push_back("--allow-WD-access-from-files");
    arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(at), switches.begin(), switches.end());
  }
  return sys::join_command_line(arguments);
}

}  // namespace lumra::viewer
