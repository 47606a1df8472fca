// The SDL2 backend's tick: the monotonic clock in milliseconds since boot (not SDL_GetTicks, which
// counts from SDL_Init and would jump when SDL starts late), 32-bit and wrapping.
#include "platform/sdl2/sdl2_internal.h"

namespace lumra::platform::sdl2 {

uint32_t ticks() { return monotonic_ms(); }

}  // namespace lumra::platform::sdl2
