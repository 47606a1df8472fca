// Unpacking a package into the run's unpack folder with the archive command, with a progress bar
// across the splash while a large package unpacks (the picture is restored afterwards) and an
// abort when a termination signal arrives.
#pragma once

#include <cstdint>
#include <string>

namespace lumra::viewer {

// Progress shows only for an unpack that has taken this long already.
inline constexpr unsigned kProgressAfterMs = 250;
// The bar's rows: in the splash's middle band, which nothing else uses.
inline constexpr int kProgressTop = 250;
inline constexpr int kProgressHeight = 10;

// The clock the bar's timing reads: milliseconds, 32-bit and wrapping.
using UnpackClock = uint32_t (*)();

// Extracts every member of `package` into `folder` (selection "+*.*/+FOLDER"). false with the
// reason in *reason: the archive command's, or that the file is no archive at all (a file that
// is neither zip nor native archive, or an empty one, is never taken for a package without
// members), or that the pattern would not fit its 256 bytes.
// `clock` null: the window's clock (platform::ticks), which the headless backend makes virtual.
bool unpack_package(const char* package, const std::string& folder, std::string* reason,
                    UnpackClock clock = nullptr);

}  // namespace lumra::viewer
