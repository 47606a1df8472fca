// Ghostscript rendering: the interpreter library (libgs, driven through its documented gsapi_
// calls) loaded while the program runs when it is installed, jobs that run it with an argument
// list and a text on its standard input, and documents whose pages are measured with the bbox
// device and rendered one at a time into a temporary TIFF that the picture loader reads back.
//
// Every run is -dSAFER: a document may read only the files the job names (the document itself,
// its temporary copy) and write only the job's output file, never anything else of the user's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/image/image.h"

namespace lumra::image {

// Whether the Ghostscript library can be used; decided once, at the first call, by loading it
// (its entry points all present). With `folder` given, *folder becomes the installation folder:
// the library's folder's parent when that folder is named "bin" (case ignored), else "".
bool ghostscript_available(std::string* folder = nullptr);

// The library file the availability check loads (a bare name is searched for as the system
// searches for libraries); by default the system's libgs. The availability is decided afresh at
// the next call. For tests and for installations elsewhere.
void ghostscript_look_for(const char* library);

inline constexpr int32_t kMostJobArguments = 60;
inline constexpr int32_t kMostFormattedArguments = 7;

struct GhostscriptJob {
  std::vector<std::string> arguments;  // the caller's, behind the fixed ones of a run
  int32_t formatted = 0;               // how many of them add_formatted_argument made
  std::string input;                   // what Ghostscript reads on its standard input
  size_t input_position = 0;           // how much of it it has read
  std::string output;                  // what it wrote on its standard output
  std::string error;                   // ... and on its standard error
};

// 1, or 0 when kMostJobArguments are present.
int job_add_argument(GhostscriptJob* job, const char* text);
// printf-style; 0 when kMostFormattedArguments formatted ones (or kMostJobArguments) are present.
int job_add_formatted_argument(GhostscriptJob* job, const char* format, ...) __attribute__((format(printf, 2, 3)));
void job_add_input(GhostscriptJob* job, const char* text);
void job_add_formatted_input(GhostscriptJob* job, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Runs Ghostscript with "-dBATCH -dNOPAUSE -dSAFER -sDEVICE=<device>", "-sOutputFile=<file>" when
// output_file is given, then the job's arguments, then the argument text: null reads the job's
// input text as the document ("-_"); "" adds nothing; any other text is split at "+" ("\+" is a
// literal "+") into further arguments. The output and error texts collect what it writes. 1 when
// it ran to its end without an error; the job's arguments are cleared either way.
int job_run(GhostscriptJob* job, const char* device, const char* output_file, const char* argument_text);

// A page's box in millimetres: its size and its lower-left corner.
struct PageBox {
  float width;
  float height;
  float left;
  float bottom;
};

struct GhostscriptDocument {
  std::vector<uint8_t> data;  // the whole file
  std::string temporary;      // its copy on disk for rendering; "" while there is none
  std::vector<PageBox> pages;
};

// Measures every page of the document at `path` (the loader's path rule) and reads the file
// into the document. 1 when Ghostscript ran, found at least one page and the file was read.
int document_measure(GhostscriptDocument* doc, const char* path);

// Renders page `page` (from 0) into `img`, fitted into width × height with the page's proportions,
// at `resolution` dots per inch (0: what the fitted width gives across the page). Colour kind 0
// renders nothing (1), 1 black and white, 2 and 3 gray, 4 and above 24-bit colour (anti-aliased
// when asked). The result is the picture loader's on the rendered TIFF.
int document_render(GhostscriptDocument* doc, int32_t page, Image* img, int32_t width, int32_t height, float resolution,
                    int32_t colour_kind, bool anti_alias);

// Releases the data and pages and deletes the temporary copy.
void document_free(GhostscriptDocument* doc);

// The scan of the bbox device's report: each "%%HiResBoundingBox: x1 y1 x2 y2" line (points) is
// a page; a line with fewer than four numbers ends the scan.
std::vector<PageBox> page_boxes(const std::string& report);

}  // namespace lumra::image
