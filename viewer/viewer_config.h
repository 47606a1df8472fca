// The viewer's fixed names and limits: what it shows, what it writes to disk and how long the
// texts it hands to other programs and to the user may be.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::viewer {

// The maker's web page, opened from the splash's bottom band and drawn into its picture.
inline constexpr const char* kMakerPage = "http://lumra.example.org/";

inline constexpr const char* kWindowTitle = "Lumra VR viewer";
inline constexpr const char* kMessageCaption = "LVR viewer";
inline constexpr const char* kDialogTitle = "Select LVR file";
inline constexpr const char* kFilterName = "Lumra VR file";
inline constexpr const char* kFilterPattern = "*.lvr";
inline constexpr const char* kBaseFolderName = "LumraVRviewer";
inline constexpr const char* kUnpackPrefix = "LVR";

// Image resource 1 of the viewer's pack: the splash background, which also sizes the window.
inline constexpr int32_t kSplashPicture = 1;

// Bands of the splash window: the logo band (and the link's clickable band) above this row,
// the maker's band in the last rows.
inline constexpr int32_t kTopBandRows = 220;
inline constexpr int32_t kBottomBandRows = 20;

// The run's limits, NUL included: paths, texts handed to the user or to other programs, and
// the window onto objects_data.js that the link is searched in.
inline constexpr size_t kPathSize = 260;
inline constexpr size_t kLineSize = 256;
inline constexpr size_t kLinkWindow = 1023;

// The splash stays at least this long after the browser starts.
inline constexpr int32_t kMinimumSplashSeconds = 5;

}  // namespace lumra::viewer
