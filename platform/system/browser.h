// The user's web browser for a local page: which program to run and with which arguments, found
// the way the desktop would open the page, so that the program can be started and watched
// itself. Part of the system interface (platform/system/*.h), implemented once per operating
// system (platform/posix/browser.cpp reads the freedesktop files itself, so nothing else needs to
// be installed).
//
// The order of the search:
// 1. $BROWSER: ":"-separated entries, each a program (a name found on PATH, or an absolute path)
//    and arguments separated by blanks; "%s" in an argument stands for the page and "%%" for "%";
//    without "%s" the page is added last. The first entry whose program is found is taken.
// 2. The default application for text/html, then for x-scheme-handler/http, by the freedesktop
//    rules: [Default Applications] of each mimeapps.list in $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS,
//    $XDG_DATA_HOME/applications and $XDG_DATA_DIRS/applications (each preceded by its
//    "$desktop-mimeapps.list" for every name in $XDG_CURRENT_DESKTOP, lower-cased); failing that,
//    the type's associations in the same order: [Added Associations] of each mimeapps.list and
//    each applications folder's mimeinfo.cache, less the [Removed Associations] of the same or an
//    earlier list. A desktop entry counts when it is found under its desktop-file ID in the
//    applications folders (first folder wins), is not Hidden, is of Type Application (or gives
//    none), its TryExec (if any) and its Exec program are found; its Exec line gives the command
//    (platform/posix/xdg.h: field codes become the page, or the page is added last).
// 3. x-www-browser on PATH.
// PATH entries that are empty or relative are passed over: a browser is never taken from the
// current folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lumra::sys {

// Results of find_browser, in the manner of the system call it stands in for: above 32 a program
// was found, 32 or less none was.
inline constexpr int kBrowserPageMissing = 2;   // the page does not exist
inline constexpr int kBrowserNotFound = 31;     // no program is associated with the page
inline constexpr int kBrowserFound = 33;

struct BrowserCommand {
  std::string program;                 // absolute path to run, as found (a link not resolved)
  std::string program_target;          // the same with every link resolved: the installed browser
                                       // behind /usr/bin/x-www-browser and the like
  std::vector<std::string> arguments;  // after the program, with the page in place
  size_t page_argument = 0;            // index in `arguments` of the first that holds the page
  std::string origin;                  // where it came from: "BROWSER", the desktop entry's path,
                                       // or "x-www-browser"
};

// The browser for the local page `page` (an absolute path). *out is filled only when a program is
// found.
int find_browser(const char* page, BrowserCommand* out);

// `arguments` as one command-line text that the Windows command-line rules the process launcher
// follows split back into the same arguments: an argument with a blank, a tab, a line break or a
// double quote, or an empty one, is put in double quotes, a quote inside is written \" and the
// backslashes before a quote (or before the closing quote) are doubled.
std::string join_command_line(const std::vector<std::string>& arguments);

}  // namespace lumra::sys
