// The input subsystem's globals and their start values.
#include "framework/input/input.h"

namespace lumra::input {
namespace {

constexpr InputState kStart{
    kTicksPerSecond, nullptr, false, 0, 0, {}, {}, 0, kCursorUnknown, {kMacroOff},
};

}  // namespace

InputState g_input = kStart;

void input_reset() { g_input = kStart; }

}  // namespace lumra::input
