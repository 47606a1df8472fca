// What the viewer asks of the world outside its window: the browser, its process, links and
// the file dialog. The program uses the system's; tests put stand-ins in their place to drive
// the viewer on the headless backend's virtual clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/browser.h"

namespace lumra::viewer {

enum class ChoiceResult : uint8_t {
  kChosen,
  kNone,         // cancelled, failed or no dialog program: the reason (may be empty) says which
  kInterrupted,  // a termination signal arrived while the dialog was up
};

struct ViewerServices {
  // The browser for a local page: above 32 found (sys::find_browser's contract).
  int (*find_browser)(const char* page, sys::BrowserCommand* out);
  // Starts the program with the argument text (split by the Windows rules): 1 and the process
  // id, or 0.
  int32_t (*launch)(const char* program, const char* arguments, uint32_t* process);
  // 1 while the process runs.
  int32_t (*still_running)(uint32_t process);
  // Opens a link with the desktop's handler, never waiting; the result is not looked at.
  void (*open_link)(const char* url);
  // The file-open dialog; the window is kept serviced meanwhile.
  ChoiceResult (*choose_package)(std::string* path, std::string* reason);
};

// The services of the system the program runs on.
const ViewerServices& system_services();

}  // namespace lumra::viewer
