// Ghostscript through libgs: the library loaded on first use (platform/system/library.h), one
// interpreter instance per run with our own standard streams, the bbox device's report read for
// page boxes, and pages rendered by TIFF devices into the framework's private temporary folder.
#include "framework/image/ghostscript.h"

#include <ghostscript/gserrors.h>
#include <ghostscript/iapi.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/base/ascii.h"
#include "framework/base/error.h"
#include "framework/base/owned.h"
#include "framework/files/path.h"
#include "framework/files/temp.h"
#include "framework/image/converter.h"
#include "framework/image/picture_file.h"
#include "framework/image/picture_limits.h"
#include "platform/system/environment.h"
#include "platform/system/fs.h"
#include "platform/system/process.h"
#include "platform/system/library.h"

namespace lumra::image {
namespace {

using base::fail;
using base::failf;

// Debian's runtime package installs the versioned name; the development package adds the bare one.
constexpr const char* kDefaultLibrary = "libgs.so.10";
// A document is read whole into memory: more than this is refused before allocating.
constexpr uint64_t kLargestDocument = uint64_t{1} << 30;

enum class Availability : uint8_t { kUndecided, kAbsent, kPresent };

struct Library {
  Availability availability = Availability::kUndecided;
  std::string name = kDefaultLibrary;
  std::string folder;
  PFN_gsapi_new_instance new_instance = nullptr;
  PFN_gsapi_delete_instance delete_instance = nullptr;
  PFN_gsapi_init_with_args init_with_args = nullptr;
  PFN_gsapi_exit exit = nullptr;
  PFN_gsapi_set_stdio set_stdio = nullptr;
};
Library g_library;

template <class F>
bool entry(sys::Library lib, const char* name, F* out) {
  *out = reinterpret_cast<F>(sys::library_symbol(lib, name));
  return *out != nullptr;
}

void decide() {
  Library& l = g_library;
  l.availability = Availability::kAbsent;
  const sys::Library lib = sys::open_library(l.name.c_str());
  if (!lib) return;
  if (!entry(lib, "gsapi_new_instance", &l.new_instance) || !entry(lib, "gsapi_delete_instance", &l.delete_instance) ||
      !entry(lib, "gsapi_init_with_args", &l.init_with_args) || !entry(lib, "gsapi_exit", &l.exit) ||
      !entry(lib, "gsapi_set_stdio", &l.set_stdio)) {
    return;
  }
  l.folder = sys::library_folder(lib);
  l.availability = Availability::kPresent;
}

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

// Ghostscript's standard streams, with the job as the caller handle.
int GSDLLCALL read_input(void* handle, char* buffer, int length) {
  GhostscriptJob* job = static_cast<GhostscriptJob*>(handle);
  if (length <= 0 || job->input_position >= job->input.size()) return 0;
  const size_t n = std::min(static_cast<size_t>(length), job->input.size() - job->input_position);
  std::memcpy(buffer, job->input.data() + job->input_position, n);
  job->input_position += n;
  return static_cast<int>(n);
}

int GSDLLCALL write_output(void* handle, const char* text, int length) {
  if (length > 0) static_cast<GhostscriptJob*>(handle)->output.append(text, static_cast<size_t>(length));
  return length;
}

int GSDLLCALL write_error(void* handle, const char* text, int length) {
  if (length > 0) static_cast<GhostscriptJob*>(handle)->error.append(text, static_cast<size_t>(length));
  return length;
}

// The argument text's pieces: split at "+", "\+" standing for a literal "+".
void split_at_plus(const char* text, std::vector<std::string>* out) {
  std::string piece;
  for (const char* p = text; *p; ++p) {
    if (p[0] == '\\' && p[1] == '+') {
      piece.push_back('+');
      ++p;
    } else if (*p == '+') {
      out->push_back(std::move(piece));
      piece.clear();
    } else {
      piece.push_back(*p);
    }
  }
  out->push_back(std::move(piece));
}

// A file name as Ghostscript's argument text takes it: every "+" escaped. A name that begins with
// "-" would be read as a switch, so it is given as "./-name".
std::string as_argument_text(const std::string& path) {
  std::string text = path.size() > 0 && path[0] == '-' ? "./" : "";
  for (const char c : path) {
    if (c == '+') text.push_back('\\');
    text.push_back(c);
  }
  return text;
}

// A PostScript string literal's contents: backslash and both parentheses escaped.
std::string postscript_string(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '(' || c == ')') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

bool read_whole_file(const std::string& path, std::vector<uint8_t>* out) {
  base::OwnedDescriptor fd;
  sys::FileInfo info{};
  if (!sys::ok(sys::open_file(path.c_str(), fd.receive())) || !sys::ok(sys::file_info(fd.get(), &info))) return false;
  if (info.kind != sys::FileKind::kFile || info.size > kLargestDocument) return false;
  out->resize(static_cast<size_t>(info.size));
  size_t got = 0;
  if (!sys::ok(sys::read_full(fd.get(), out->data(), out->size(), &got)) || got != out->size()) {
    out->clear();
    return false;
  }
  return true;
}

// The document's copy on disk, made at the first rendering.
bool make_temporary_copy(GhostscriptDocument* doc) {
  if (!doc->temporary.empty()) return true;
  std::string folder, name;
  if (!files::temp_path(&folder) || files::temp_file_name(folder.c_str(), "pdf", 0, &name) == 0) return false;
  base::OwnedFile f(std::fopen(name.c_str(), "wb"));
  const bool written = f && (doc->data.empty() || std::fwrite(doc->data.data(), 1, doc->data.size(), f.get()) ==
                                                      doc->data.size());
  if (!f.close() || !written) {
    sys::remove_file(name.c_str());
    return false;
  }
  doc->temporary = name;
  return true;
}

// Ghostscript lets even a -dSAFER document read and write its temporary folder ($TMPDIR, else
// $TEMP, else /tmp), which other programs and the framework's own temporary files share. For the
// length of a run its temporary folder is an empty one of its own instead, removed afterwards.
class RunTemporaryFolder {
 public:
  RunTemporaryFolder() {
    had_tmpdir_ = sys::environment_value("TMPDIR", &tmpdir_);
    had_temp_ = sys::environment_value("TEMP", &temp_);
    std::string parent;
    if (!files::temp_path(&parent)) return;
    folder_ = parent + "gs-" + std::to_string(sys::process_id()) + "/";
    if (!files::make_private_folder(folder_.c_str())) {
      folder_.clear();
      return;
    }
    ready_ = sys::ok(sys::set_environment("TMPDIR", folder_.c_str())) &&
             sys::ok(sys::set_environment("TEMP", folder_.c_str()));
  }
  RunTemporaryFolder(const RunTemporaryFolder&) = delete;
  RunTemporaryFolder& operator=(const RunTemporaryFolder&) = delete;
  ~RunTemporaryFolder() {
    sys::set_environment("TMPDIR", had_tmpdir_ ? tmpdir_.c_str() : nullptr);
    sys::set_environment("TEMP", had_temp_ ? temp_.c_str() : nullptr);
    if (!folder_.empty()) remove_temporary_folder(folder_);
  }
  bool ready() const { return ready_; }

 private:
  std::string folder_;
  std::string tmpdir_, temp_;
  bool had_tmpdir_ = false, had_temp_ = false, ready_ = false;
};

}  // namespace

bool ghostscript_available(std::string* folder) {
  if (g_library.availability == Availability::kUndecided) decide();
  const bool present = g_library.availability == Availability::kPresent;
  if (folder) {
    folder->clear();
    if (present) {
      const files::PathParts parts = files::split_path(g_library.folder);
      if (base::equal_ignoring_case(parts.base + parts.ext, "bin")) *folder = parts.drive + parts.dir;
    }
  }
  return present;
}

void ghostscript_look_for(const char* library) {
  g_library = Library{};
  g_library.name = library ? library : kDefaultLibrary;
}

int job_add_argument(GhostscriptJob* job, const char* text) {
  if (static_cast<int32_t>(job->arguments.size()) >= kMostJobArguments) return fail("too many Ghostscript arguments");
  job->arguments.emplace_back(text ? text : "");
  return 1;
}

int job_add_formatted_argument(GhostscriptJob* job, const char* format, ...) {
  if (job->formatted >= kMostFormattedArguments) return fail("too many formatted Ghostscript arguments");
  va_list args;
  va_start(args, format);
  const std::string text = vformat(format, args);
  va_end(args);
  if (!job_add_argument(job, text.c_str())) return 0;
  ++job->formatted;
  return 1;
}

void job_add_input(GhostscriptJob* job, const char* text) {
  if (text) job->input += text;
}

void job_add_formatted_input(GhostscriptJob* job, const char* format, ...) {
  va_list args;
  va_start(args, format);
  job->input += vformat(format, args);
  va_end(args);
}

int job_run(GhostscriptJob* job, const char* device, const char* output_file, const char* argument_text) {
  std::vector<std::string> caller;
  caller.swap(job->arguments);
  job->formatted = 0;
  if (!ghostscript_available()) return fail("Ghostscript is not installed");
  job->output.clear();
  job->error.clear();
  job->input_position = 0;

  // The program name, then the fixed switches. -dSAFER where the original ran -dNOSAFER: a document
  // from anywhere must not reach the user's files (Ghostscript itself permits reading the files
  // named here and writing the output file).
  std::vector<std::string> list = {"", "-dBATCH", "-dNOPAUSE", "-dSAFER", std::string("-sDEVICE=") + device};
  if (output_file) list.push_back(std::string("-sOutputFile=") + output_file);
  for (std::string& a : caller) list.push_back(std::move(a));
  if (!argument_text) {
    list.emplace_back("-_");
  } else if (*argument_text) {
    split_at_plus(argument_text, &list);
  }
  std::vector<char*> argv;
  for (std::string& a : list) argv.push_back(a.data());

  const RunTemporaryFolder temporary;
  if (!temporary.ready()) return fail("no private temporary folder for Ghostscript");
  void* instance = nullptr;
  if (g_library.new_instance(&instance, job) < 0 || !instance) return fail("Ghostscript: no instance");
  int code = g_library.set_stdio(instance, argument_text ? nullptr : read_input, write_output, write_error);
  if (code == 0) {
    code = g_library.init_with_args(instance, static_cast<int>(argv.size()), argv.data());
    if (code == gs_error_Quit) code = 0;
  }
  const int exit_code = g_library.exit(instance);
  if (code == 0 && exit_code != gs_error_Quit) code = exit_code;
  g_library.delete_instance(instance);
  if (code != 0) return failf("Ghostscript failed (%d)", code);
  return 1;
}

std::vector<PageBox> page_boxes(const std::string& report) {
  static constexpr char kTag[] = "%%HiResBoundingBox: ";
  constexpr double kMillimetresPerPoint = 25.4 / 72;
  std::vector<PageBox> pages;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    const std::string line = report.substr(start, end - start);
    start = end + 1;
    if (line.compare(0, sizeof kTag - 1, kTag) != 0) continue;
    double x1, y1, x2, y2;
    if (std::sscanf(line.c_str() + sizeof kTag - 1, "%lf %lf %lf %lf", &x1, &y1, &x2, &y2) != 4) break;
    pages.push_back(PageBox{static_cast<float>((x2 - x1) * kMillimetresPerPoint),
                            static_cast<float>((y2 - y1) * kMillimetresPerPoint),
                            static_cast<float>(x1 * kMillimetresPerPoint), static_cast<float>(y1 * kMillimetresPerPoint)});
  }
  return pages;
}

int document_measure(GhostscriptDocument* doc, const char* path) {
  if (!doc || !path) return fail("no document or no path");
  const std::string file = files::system_path(path);
  GhostscriptJob job;
  job_add_argument(&job, "-sDEVICE=bbox");
  job_add_argument(&job, "-r254");
  if (!job_run(&job, "bbox", nullptr, as_argument_text(file).c_str())) return 0;
  doc->pages = page_boxes(job.error);
  if (doc->pages.empty()) return failf("no pages found in %s", path);
  if (!read_whole_file(file, &doc->data)) return failf("cannot read %s", path);
  return 1;
}

int document_render(GhostscriptDocument* doc, int32_t page, Image* img, int32_t width, int32_t height, float resolution,
                    int32_t colour_kind, bool anti_alias) {
  if (!ghostscript_available()) return fail("Ghostscript is not installed");
  if (!doc || !img || page < 0 || static_cast<size_t>(page) >= doc->pages.size()) return fail("no such page");
  const PageBox box = doc->pages[static_cast<size_t>(page)];
  if (!(box.width > 0 && box.height > 0 && std::isfinite(box.width) && std::isfinite(box.height))) {
    return fail("the page is empty");
  }
  if (width <= 0 || height <= 0) return fail("no size to render at");
  if (!make_temporary_copy(doc)) return fail("cannot copy the document to a temporary file");
  if (colour_kind == 0) return 1;

  GhostscriptJob job;
  const char* device = colour_kind == 1 ? "tiffpack" : colour_kind <= 3 ? "tiffgray" : "tiff24nc";
  if (colour_kind >= 4 && anti_alias) {
    job_add_argument(&job, "-dCOLORSCREEN");
    job_add_argument(&job, "-dTextAlphaBits=4");
    job_add_argument(&job, "-dGraphicsAlphaBits=4");
  }
  // In double, checked before any conversion: the page boxes come from what the document made
  // Ghostscript report, so any size may stand there.
  double w = width, h = height;
  if (box.width / box.height >= w / h) {
    h = std::floor(w * box.height / box.width + 0.5);
  } else {
    w = std::floor(h * box.width / box.height + 0.5);
  }
  if (!(w >= 1 && h >= 1 && w * h <= static_cast<double>(kMaxPicturePixels))) {
    return fail("the page cannot be rendered at that size");
  }
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  if (resolution == 0) resolution = static_cast<float>(width / (box.width / 25.4));
  job_add_formatted_argument(&job, "-g%dx%d", width, height);
  job_add_formatted_argument(&job, "-r%g", static_cast<double>(resolution));
  job_add_formatted_argument(&job, "-dFirstPage=%d", page + 1);
  job_add_formatted_argument(&job, "-dLastPage=%d", page + 1);
  // Under -dSAFER the document read through "run" must be permitted by name.
  job_add_argument(&job, ("--permit-file-read=" + doc->temporary).c_str());
  job_add_formatted_input(&job, "<< /PageOffset [%g %g] >> setpagedevice\r\n", -box.left / 25.4 * 72,
                          box.bottom / 25.4 * 72);
  job_add_formatted_input(&job, "(%s) run\r\n", postscript_string(doc->temporary).c_str());

  const std::string output = doc->temporary + ".tif";
  int result = job_run(&job, device, output.c_str(), nullptr);
  if (result) result = load_picture(img, output.c_str(), nullptr, nullptr, nullptr, nullptr);
  sys::remove_file(output.c_str());
  return result;
}

void document_free(GhostscriptDocument* doc) {
  if (!doc) return;
  if (!doc->temporary.empty()) sys::remove_file(doc->temporary.c_str());
  *doc = GhostscriptDocument{};
}

}  // namespace lumra::image
