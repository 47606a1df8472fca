#include "viewer/splash.h"

#include "framework/graphics/keys.h"
#include "framework/graphics/window.h"
#include "framework/input/clock.h"
#include "framework/input/key_poll.h"
#include "framework/input/mouse.h"
#include "platform/system/termination.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {

const char* band_target(int32_t y, int32_t max_y, const char* link) {
  if (link && y < kTopBandRows) return link;
  if (y > max_y - kBottomBandRows) return kMakerPage;
  return nullptr;
}

int32_t splash(int32_t seconds, const char* link, uint32_t process, const ViewerServices& services) {
  const uint32_t t0 = input::read_clock();
  // A flag rather than a zero reading: a tick count may well be near zero or past 2^31, and the
  // first pass must check whatever the clock reads.
  bool checked = false;
  uint32_t last_check = 0;
  input::idle_mode_on();
  for (;;) {
    int32_t x = 0, y = 0, buttons = 0;
    input::mouse_poll(&x, &y, &buttons);
    if (const char* target = band_target(y, graphics::max_y(), link)) {
      input::set_cursor_shape(platform::Cursor::kHand);
      if (buttons != 0) services.open_link(target);
    } else {
      input::set_cursor_shape(platform::Cursor::kArrow);
    }
    if (sys::termination_signal() != 0) {
      input::idle_mode_off();
      return 0;
    }
    if (process != 0) {
      const uint32_t now = input::read_clock();
      if (!checked || static_cast<int32_t>(now - last_check) > input::kTicksPerSecond / 2) {
        checked = true;
        last_check = now;
        if (!services.still_running(process)) {
          input::idle_mode_off();
          return 0;
        }
      }
    }
    if (seconds != 0 &&
        static_cast<int64_t>(static_cast<int32_t>(input::read_clock() - t0)) >=
            static_cast<int64_t>(seconds) * input::kTicksPerSecond) {
      break;
    }
    if (input::peek_key() != 0) break;
  }
  input::idle_mode_off();
  if (input::peek_key() == 0) return 1;
  return input::wait_key() == graphics::kCodeWindowClose ? 0 : 1;
}

}  // namespace lumra::viewer
