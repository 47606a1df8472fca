// The Alt-hold overlay of the key poll: Alt held alone for more than a second darkens the window
// and frames the clickable areas' items with their hot keys' names, until Alt is let go (and at
// least a second after the hold began) or a code arrives; then the window is put back.
#pragma once

namespace lumra::input {

// Called first by every key poll.
void alt_overlay_step();

}  // namespace lumra::input
