// The input subsystem's globals and their start values.
#include "framework/input/input.h"

#include <cstdio>

namespace lumra::input {
namespace {

constexpr InputState kStart{
    kTicksPerSecond, nullptr, false, 0, 0, {}, {}, 0, kCursorUnknown, {}, nullptr, nullptr,
};

}  // namespace

InputState g_input = kStart;

void input_reset() {
  if (g_input.macro.file) std::fclose(g_input.macro.file);
  g_input = kStart;
}

}  // namespace lumra::input
