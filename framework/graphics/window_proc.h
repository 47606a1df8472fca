// The window procedure: every message from the platform passes here. Keys become input codes in
// the key queue, characters pass from Windows to OEM, the mouse state is kept, mouse messages go
// to the tooltips first, paints repaint from the back buffer, and a close request queues 32752.
#pragma once

#include "platform/platform.h"

namespace lumra::graphics {

void window_procedure(const platform::Message& message);

}  // namespace lumra::graphics
