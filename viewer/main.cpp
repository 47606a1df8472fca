// lvrview: shows an LVR package (a zip of a browser-based 3D presentation) in the user's web
// browser, with a splash window while the browser runs. Exit status 0 when the run went through
// (also when no browser could be started), 1 when the package could not be chosen or unpacked.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"
#include "platform/system/environment.h"
#include "platform/system/termination.h"
#include "viewer/viewer.h"
#include "viewer/viewer_config.h"

namespace {

constexpr const char* kHelp =
    "usage: lvrview [--serve] [PACKAGE]\n"
    "       lvrview [--serve] -- PACKAGE   (a package whose name begins with \"-\"; ./NAME works too)\n"
    "\n"
    "Unpacks the LVR package PACKAGE into a private folder under $TMPDIR (or /tmp), shows its\n"
    "logo in a splash window and opens its index.html in the web browser ($BROWSER, else the\n"
    "desktop's browser for web pages). The splash stays while the browser runs and for at least\n"
    "five seconds; a click on its top band opens the package's link, on its bottom band the\n"
    "maker's page. A key or the close box ends the wait; the unpacked files are removed at the\n"
    "end. Without PACKAGE a file dialog asks for one.\n"
    "\n"
    "  --serve    give the browser the package through a web server on this computer alone\n"
    "             (http://127.0.0.1:PORT/...) instead of as files; also LUMRA_SERVE=1\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "\n"
    "Use --serve when a scene stays black or loads only half in the browser: browsers do not let\n"
    "a page opened from files fetch its own data or use its own pictures in WebGL. The server\n"
    "answers only this run's browser page and its files, and stops when the splash closes. A\n"
    "browser that hands the page to a window it already has open (Firefox does) ends at once,\n"
    "so the splash, and the server with it, close after five seconds: close that browser first,\n"
    "or use one that starts on its own.\n"
    "\n"
    "Exit status: 0 done (also when no browser could be started), 1 the package could not be\n"
    "chosen, unpacked or served.\n";

}  // namespace

int main(int argc, char** argv) {
  const char* package = nullptr;
  lumra::viewer::RunOptions options;
  std::string serve;
  options.serve = lumra::sys::environment_value("LUMRA_SERVE", &serve) && serve == "1";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("lvrview %s\n", LUMRA_VERSION);
      return 0;
    }
    if (!std::strcmp(argv[i], "--serve")) {
      options.serve = true;
      continue;
    }
    // The first other argument is the package, whatever it looks like.
    package = !std::strcmp(argv[i], "--") ? (i + 1 < argc ? argv[i + 1] : nullptr) : argv[i];
    break;
  }
  // Before the window opens, so that the window's backend leaves these signals to us.
  lumra::sys::catch_termination_signals();
  lumra::platform::use_backend(lumra::platform::sdl2::backend());
  const int code = lumra::viewer::run_viewer(package, lumra::viewer::system_services(), options);
  if (const int signal = lumra::sys::termination_signal(); signal != 0) lumra::sys::end_by_termination_signal(signal);
  return code;
}
