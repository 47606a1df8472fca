// How the viewer starts the browser on the unpacked page: the argument text, with Chrome's
// profile folder and its switch for local pages when the browser is Chrome or Chromium.
#pragma once

#include <string>

#include "platform/system/browser.h"

namespace lumra::viewer {

// Chrome, or Chromium (the same browser under its open-source name, which hands a page to a
// running instance just as Chrome does): "chrome" or "chromium" in the lower-cased path of the
// program or of the browser it leads to.
bool is_chrome(const sys::BrowserCommand& browser);

// The profile folder Chrome gets: the unpack folder's path less its last character, a sibling
// folder ending in ".tm" that stays behind.
std::string chrome_profile_folder(const std::string& unpack_folder);

// Puts the served page's address where the browser's command holds the page's path (the browser
// is looked up for the file, as the desktop knows browsers by the files they open).
void give_address(sys::BrowserCommand* browser, const std::string& page, const std::string& address);

// The argument text for the browser: its own arguments with the page in place, and for Chrome
// "--user-data-dir=PROFILE" and "--allow-WD-access-from-files" before the page. A page that is
// served (an http:// address) needs no switch for local files: Chrome gets its profile only.
std::string browser_argument_line(const sys::BrowserCommand& browser, const std::string& unpack_folder,
                                  bool served = false);

}  // namespace lumra::viewer
