// lvrview: shows an LVR package (a zip of a browser-based 3D presentation) in the user's web
// browser, with a splash window while the browser runs. Exit status 0 when the run went through
// (also when no browser could be started), 1 when the package could not be chosen or unpacked.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"
#include "platform/system/termination.h"
#include "viewer/viewer.h"
#include "viewer/viewer_config.h"

namespace {

constexpr const char* kHelp =
    "usage: lvrview [PACKAGE]\n"
    "       lvrview -- PACKAGE     (a package whose name begins with \"-\"; ./NAME works too)\n"
    "\n"
    "Unpacks the LVR package PACKAGE into a private folder under $TMPDIR (or /tmp), shows its\n"
    "logo in a splash window and opens its index.html in the web browser ($BROWSER, else the\n"
    "desktop's browser for web pages). The splash stays while the browser runs and for at least\n"
    "five seconds; a click on its top band opens the package's link, on its bottom band the\n"
    "maker's page. A key or the close box ends the wait; the unpacked files are removed at the\n"
    "end. Without PACKAGE a file dialog asks for one.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "\n"
    "Exit status: 0 done (also when no browser could be started), 1 the package could not be\n"
    "chosen or unpacked.\n";

}  // namespace

int main(int argc, char** argv) {
  const char* package = nullptr;
  if (argc >= 2) {
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
      std::printf("lvrview %s\n", LUMRA_VERSION);
      return 0;
    }
    package = !std::strcmp(argv[1], "--") ? (argc >= 3 ? argv[2] : nullptr) : argv[1];
  }
  // Before the window opens, so that the window's backend leaves these signals to us.
  lumra::sys::catch_termination_signals();
  lumra::platform::use_backend(lumra::platform::sdl2::backend());
  const int code = lumra::viewer::run_viewer(package, lumra::viewer::system_services());
  if (const int signal = lumra::sys::termination_signal(); signal != 0) lumra::sys::end_by_termination_signal(signal);
  return code;
}
