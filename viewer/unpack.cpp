#include "viewer/unpack.h"

#include <cstring>

#include "framework/base/error.h"
#include "framework/files/archive_command.h"
#include "framework/files/archive_probe.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/window.h"
#include "framework/image/picture_resource.h"
#include "framework/input/clock.h"
#include "platform/platform.h"
#include "platform/system/fs.h"
#include "platform/system/termination.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {
namespace {

// How often a long unpack lets the window answer and moves the bar.
constexpr uint32_t kProgressStepMs = 50;
constexpr uint32_t kBarFrame = 0x404040;  // COLORREF: dark gray
constexpr uint32_t kBarEmpty = 0xFFFFFF;
constexpr uint32_t kBarDone = 0xC07020;   // blue

struct Progress {
  UnpackClock clock = nullptr;
  uint32_t started = 0;
  uint32_t last_step = 0;
  uint64_t package_size = 0;
  uint64_t stored_before = 0;   // stored bytes of the members finished
  uint64_t member_stored = 0;   // of the member under way
  bool shown = false;
  int drawn = -1;               // pixels of the bar filled so far
};

void draw_bar(Progress* p, uint64_t done) {
  const int32_t width = graphics::max_x() - 20;
  if (width <= 2) return;
  const int inner = width - 2;
  const int filled = p->package_size == 0 ? 0
                     : static_cast<int>(static_cast<uint64_t>(inner) * (done < p->package_size ? done : p->package_size) /
                                        p->package_size);
  if (!p->shown) {
    graphics::fill_rectangle_rgb(10, kProgressTop, kBarFrame, width, kProgressHeight);
    graphics::fill_rectangle_rgb(11, kProgressTop + 1, kBarEmpty, inner, kProgressHeight - 2);
    p->shown = true;
  }
  if (filled > p->drawn) {
    graphics::fill_rectangle_rgb(11, kProgressTop + 1, kBarDone, filled, kProgressHeight - 2);
    p->drawn = filled;
  }
}

int on_progress(int code, void* data, const files::ProgressInfo& info) {
  auto* p = static_cast<Progress*>(data);
  if (code == files::kProgressRetry) return 0;        // a read that failed is not tried again
  if (code == files::kProgressCannotCreate) return 1;  // an output that cannot be made fails the unpack
  if (sys::termination_signal() != 0) return 0;        // abort: the run cleans up and ends
  if (code != files::kProgressMember || !info.header) return 1;
  if (info.value == 0) {
    p->stored_before += p->member_stored;
    p->member_stored = info.header->record_length;
  }
  const uint32_t now = p->clock();
  if (static_cast<uint32_t>(now - p->last_step) < kProgressStepMs) return 1;
  p->last_step = now;
  input::read_clock();  // the window answers and repaints during a long unpack
  if (static_cast<uint32_t>(now - p->started) < kProgressAfterMs) return 1;
  uint64_t member_done = 0;
  if (info.header->unpacked_size != 0) {
    member_done = p->member_stored * static_cast<uint64_t>(info.value) / info.header->unpacked_size;
  }
  draw_bar(p, p->stored_before + member_done);
  return 1;
}

}  // namespace

bool unpack_package(const char* package, const std::string& folder, std::string* reason, UnpackClock clock) {
  const files::ArchiveLook look = files::look_at_archive(package, files::kFormatDetect, 0);
  if (look == files::ArchiveLook::kEmpty) {
    *reason = std::string(package) + " is empty: no zip archive";
    return false;
  }
  if (look == files::ArchiveLook::kNeither) {
    *reason = base::last_error();
    return false;
  }
  const std::string pattern = "+*.*/+" + folder;
  char list[kLineSize] = {};
  if (pattern.size() >= sizeof list) {
    *reason = "the unpack folder's path is too long for the selection pattern";
    return false;
  }
  std::memcpy(list, pattern.data(), pattern.size());
  Progress progress;
  progress.clock = clock ? clock : platform::ticks;
  progress.started = progress.last_step = progress.clock();
  sys::FileInfo info{};
  if (sys::ok(sys::file_info(package, sys::Links::kFollow, &info))) progress.package_size = info.size;
  const int result = files::archive_command(files::kActionExtract, package, 1, list, 0, on_progress, &progress, 32, 0,
                                            files::kFormatDetect);
  if (progress.shown) image::draw_picture_resource(0, 0, kSplashPicture);
  if (result == 0) {
    *reason = sys::termination_signal() != 0 ? "interrupted" : base::last_error();
    return false;
  }
  return true;
}

}  // namespace lumra::viewer
