// The viewer's run: from the package path to the browser and back to a clean temporary folder.
#pragma once

#include <cstdint>

#include "viewer/services.h"

namespace lumra::viewer {

// Exit codes of a run.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;

struct RunOptions {
  // Serve the unpacked package on the loopback interface and give the browser its http://
  // address instead of the page's path (lvrview --serve): pages that fetch their own files or
  // upload their own pictures to WebGL then work in every browser.
  bool serve = false;
};

// One run with the package at `package`, or, when it is null, the one the user picks in the
// file dialog after a second of splash. The graphics backend must be chosen already (the window
// is opened here and left open). A termination signal ends the run early through the same
// clean-up; the caller then ends by it (platform/system/termination.h).
int run_viewer(const char* package, const ViewerServices& services, const RunOptions& options = {});

}  // namespace lumra::viewer
