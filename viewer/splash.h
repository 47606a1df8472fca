// The splash loop: while the splash window is up the viewer follows the mouse (a pointing hand
// over the active bands, a click opens the band's link), watches the browser process twice a
// second and waits for a time limit, the end of the process or any input code.
#pragma once

#include <cstdint>

#include "viewer/services.h"

namespace lumra::viewer {

// The link of the band at row y: the splash link in the top band when there is one, the maker's
// page in the last rows (the top band wins where both apply), null elsewhere.
const char* band_target(int32_t y, int32_t max_y, const char* link);

// Waits `seconds` (0: no limit), until `process` (0: none) has ended or an input code arrives.
// 0 when the process ended, the code was the window's close request (the code is taken from the
// queue) or a termination signal arrived; 1 otherwise.
int32_t splash(int32_t seconds, const char* link, uint32_t process, const ViewerServices& services);

}  // namespace lumra::viewer
