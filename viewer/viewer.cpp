#include "viewer/viewer.h"

#include <cstdio>
#include <string>

#include "framework/base/error.h"
#include "framework/base/resource_pack.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/window.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/picture_file.h"
#include "framework/image/picture_resource.h"
#include "framework/files/temp.h"
#include "framework/input/clock.h"
#include "platform/platform.h"
#include "platform/system/fs.h"
#include "platform/system/local_server.h"
#include "platform/system/temp.h"
#include "platform/system/termination.h"
#include "viewer/browser_arguments.h"
#include "viewer/splash.h"
#include "viewer/splash_link.h"
#include "viewer/unpack.h"
#include "viewer/viewer_config.h"
#include "lumra_viewer_pack.h"

namespace lumra::viewer {
namespace {

constexpr int32_t kSolidFill = 1;
constexpr int32_t kWhite = 15;

bool interrupted() { return sys::termination_signal() != 0; }

uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The text cut to fit a buffer of `size` bytes, NUL included, without splitting a UTF-8
// character.
std::string fitted(std::string text, size_t size) {
  if (text.size() < size) return text;
  size_t end = size - 1;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

void show_error(const std::string& text) {
  platform::message_box(kMessageCaption, fitted(text, kLineSize).c_str());
}

bool is_file(const std::string& path) {
  sys::FileInfo info{};
  return sys::ok(sys::file_info(path.c_str(), sys::Links::kNoFollow, &info)) && info.kind == sys::FileKind::kFile;
}

bool exists(const char* path) {
  sys::FileInfo info{};
  return sys::ok(sys::file_info(path, sys::Links::kFollow, &info));
}

// The logo centred in the top band, scaled down to the window when wider; a band cleared white
// first even when the picture then does not load.
void draw_logo(const std::string& path) {
  const int32_t max_x = graphics::max_x();
  graphics::set_fill_style(kSolidFill, kWhite);
  graphics::fill_rectangle(0, 0, max_x - 1, kTopBandRows);
  image::Image logo{};
  image::image_create(&logo);
  if (image::load_picture(&logo, path.c_str(), nullptr, nullptr, nullptr, nullptr)) {
    const int64_t width = logo.width;
    if (max_x < width) {
      image::image_draw(&logo, 10, 10, image::kDrawNearest, max_x - 20, 0);
    } else {
      image::image_draw(&logo, 10 + static_cast<int32_t>((max_x - width - 20) / 2), 10, image::kDrawNearest);
    }
  }
  image::image_free(&logo);
}

// Steps 7 to 11: the private base folder, the sweep, the exclusive name and the locked folder.
// kExitDone when the folder is made; otherwise the exit code (the unpack-failure path when
// `unpack` is left without a folder after its name was taken).
struct Folders {
  std::string base;
  std::string name;
  sys::UnpackFolder unpack;
};

enum class FolderStep { kMade, kNoName, kNoFolder };

FolderStep make_folders(Folders* f) {
  std::string reason;
  if (!sys::make_private_base_folder(sys::temp_path() + "/" + kBaseFolderName, &f->base, &reason)) {
    std::fprintf(stderr, "lvrview: no temporary folder: %s\n", reason.c_str());
    return FolderStep::kNoName;
  }
  sys::sweep_unpack_folders(f->base.c_str(), kUnpackPrefix);
  // The longest path the run forms in the unpack folder must fit a path buffer.
  if (f->base.size() + 1 + 3 + 8 + 4 + std::char_traits<char>::length("/objects_data.js") >= kPathSize) {
    std::fprintf(stderr, "lvrview: the temporary folder's path is too long: %s\n", f->base.c_str());
    return FolderStep::kNoName;
  }
  if (files::temp_file_name(f->base.c_str(), kUnpackPrefix, 0, &f->name) == 0) {
    std::fprintf(stderr, "lvrview: no temporary name in %s: %s\n", f->base.c_str(), base::last_error());
    return FolderStep::kNoName;
  }
  if (const sys::Status removed = sys::remove_file(f->name.c_str()); !sys::ok(removed)) {
    std::fprintf(stderr, "lvrview: cannot delete %s: %s\n", f->name.c_str(), sys::describe(removed));
    return FolderStep::kNoName;
  }
  if (const sys::Status made = sys::make_unpack_folder(f->name.c_str(), &f->unpack); !sys::ok(made)) {
    std::fprintf(stderr, "lvrview: cannot make %s: %s\n", f->name.c_str(), sys::describe(made));
    return FolderStep::kNoFolder;
  }
  return FolderStep::kMade;
}

// Step 15: the browser, and the splash while it runs and for at least five seconds in all.
// `address` is the page's http:// address when the package is served, else empty.
void run_browser(const std::string& unpack, const std::string& address, const std::string& link,
                 const ViewerServices& services) {
  const std::string page = unpack + "/index.html";
  sys::BrowserCommand browser;
  if (services.find_browser(page.c_str(), &browser) <= 32) return;
  if (!address.empty()) give_address(&browser, page, address);
  const std::string arguments = browser_argument_line(browser, unpack, !address.empty());
  if (arguments.size() >= kLineSize || browser.program.size() >= kPathSize) {
    std::fprintf(stderr, "lvrview: the browser's command line is too long: %s %s\n", browser.program.c_str(),
                 arguments.c_str());
    return;
  }
  uint32_t process = 0;
  if (!services.launch(browser.program.c_str(), arguments.c_str(), &process)) return;
  const char* splash_link = link.empty() ? nullptr : link.c_str();
  const uint32_t t0 = input::read_clock();
  splash(0, splash_link, process, services);
  if (interrupted()) return;
  const int32_t elapsed = static_cast<int32_t>(input::read_clock() - t0);
  if (elapsed < kMinimumSplashSeconds * input::kTicksPerSecond) {
    const int32_t shown = elapsed / input::kTicksPerSecond;
    if (kMinimumSplashSeconds - shown != 0) splash(kMinimumSplashSeconds - shown, splash_link, 0, services);
  }
}

// Steps 12 to 15, on the unpack-failure path when they fail: false then.
bool show_package(const std::string& package, const std::string& unpack, const ViewerServices& services,
                  const RunOptions& options) {
  std::string reason;
  if (!unpack_package(package.c_str(), unpack, &reason)) {
    std::fprintf(stderr, "lvrview: cannot unpack %s: %s\n", package.c_str(), reason.c_str());
    return false;
  }
  if (interrupted()) return true;
  const std::string logo = unpack + "/logo.png";
  if (is_file(logo)) draw_logo(logo);
  const std::string data = unpack + "/objects_data.js";
  const std::string link = is_file(data) ? read_splash_link(data.c_str()) : std::string();
  if (!options.serve) {
    run_browser(unpack, std::string(), link, services);
    return true;
  }
  // The server lives for the browser's run only: it is stopped when this returns, before the
  // caller removes the unpack folder.
  std::string why;
  const sys::LocalServerHandle server = sys::start_local_server({unpack, false}, &why);
  if (!server) {
    std::fprintf(stderr, "lvrview: cannot serve the package: %s\n", why.c_str());
    show_error("Unable to serve the package: " + why);
    return false;
  }
  run_browser(unpack, sys::local_server_address(*server) + "index.html", link, services);
  return true;
}

}  // namespace

int run_viewer(const char* package_argument, const ViewerServices& services, const RunOptions& options) {
  base::pack_register(kViewerPack);
  uint8_t header[16] = {};
  base::pack_read_picture_header(header, kSplashPicture);
  graphics::open_window(kWindowTitle, static_cast<int32_t>(read_u32(header + 6)),
                        static_cast<int32_t>(read_u32(header + 10)), 0, 0, -1, 0);
  image::draw_picture_resource(0, 0, kSplashPicture);

  std::string package;
  if (package_argument) {
    package = package_argument;
  } else {
    if (splash(1, nullptr, 0, services) == 0) return kExitDone;
    std::string reason;
    const ChoiceResult chosen = services.choose_package(&package, &reason);
    if (chosen == ChoiceResult::kInterrupted) return kExitDone;
    if (chosen != ChoiceResult::kChosen) {
      if (!reason.empty()) std::fprintf(stderr, "lvrview: %s\n", reason.c_str());
      return kExitFailed;
    }
  }
  // A path longer than the path buffer is refused rather than cut to another file's name.
  const bool fits = package.size() < kPathSize;
  if (!fits || !exists(package.c_str())) show_error("Unable to open the file \"" + package + "\"");
  if (interrupted()) return kExitDone;

  Folders folders;
  const FolderStep step = make_folders(&folders);
  if (step == FolderStep::kNoName) return kExitFailed;
  bool shown = false;
  if (step == FolderStep::kMade) {
    if (!fits) {
      std::fprintf(stderr, "lvrview: cannot unpack: the package's path is longer than %zu bytes\n", kPathSize - 1);
    } else {
      shown = show_package(package, folders.unpack.path, services, options);
    }
  }
  if (!sys::remove_unpack_folder(&folders.unpack)) {
    std::fprintf(stderr, "lvrview: could not remove all of %s\n", folders.unpack.path.c_str());
  }
  return shown ? kExitDone : kExitFailed;
}

}  // namespace lumra::viewer
