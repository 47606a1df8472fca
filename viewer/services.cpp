#include "viewer/services.h"

#include "framework/input/clock.h"
#include "framework/process/launcher.h"
#include "platform/platform.h"
#include "platform/system/desktop.h"
#include "platform/system/termination.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {
namespace {

// Show mode 5 (show the window) as window systems that have show modes take it.
constexpr int32_t kShowWindow = 5;

int32_t launch_browser(const char* program, const char* arguments, uint32_t* process) {
  return process::launch(program, arguments, kShowWindow, 0, nullptr, nullptr, 0, process);
}

int32_t browser_running(uint32_t process) {
  // The link helpers that have ended since are reaped here too, twice a second while the splash
  // watches, so none lingers until the next click.
  sys::reap_opened_links();
  return process::still_running(process);
}

void open_link(const char* url) {
  // The result is not looked at: the splash goes on whatever the desktop does with the link.
  (void)sys::open_link(url);
}

bool keep_dialog_open(void*) {
  input::read_clock();  // keeps the splash window answering and repainted
  return sys::termination_signal() == 0;
}

ChoiceResult choose_package(std::string* path, std::string* reason) {
  // The dialog belongs to the splash window, which is open by now: it stays above it.
  platform::WindowInfo window{};
  const uint64_t parent = platform::window_info(&window) ? window.native_id : 0;
  const sys::FileDialogSpec spec{kDialogTitle, kFilterName, kFilterPattern, parent};
  const sys::DialogState state = sys::run_file_dialog(spec, keep_dialog_open, nullptr, path, reason);
  if (state == sys::DialogState::kChosen) return ChoiceResult::kChosen;
  if (sys::termination_signal() != 0) return ChoiceResult::kInterrupted;
  if (state == sys::DialogState::kCancelled) reason->clear();
  return ChoiceResult::kNone;
}

constexpr ViewerServices kSystemServices{sys::find_browser, launch_browser, browser_running, open_link,
                                         choose_package};

}  // namespace

const ViewerServices& system_services() { return kSystemServices; }

}  // namespace lumra::viewer
