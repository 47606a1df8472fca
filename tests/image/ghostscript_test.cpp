// Ghostscript with the real library: jobs (their limits, standard input and output), the bbox
// report, measuring and rendering documents the tests write (PDF, EPS, two-page PostScript, a
// path with "+"), the loader's document row, -dSAFER against a document that tries to write and
// delete files, and everything failing cleanly when the library is missing.
#include "framework/image/ghostscript.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/image/picture_file.h"
#include "tests/image/document_test_support.h"

namespace lumra::image {
namespace {

using test_support::exists;
using test_support::kA4Height;
using test_support::kA4Width;
using test_support::pdf_page;
using test_support::pixel;
using test_support::Scratch;
using test_support::write_file;

constexpr uint32_t kRed = colour_value(255, 0, 0);
constexpr uint32_t kBlue = colour_value(0, 0, 255);

// A two-page PostScript document: a blue 100 × 50 point box at (10, 20), then a red 200 × 300 box
// at the origin.
constexpr const char* kTwoPages =
    "%!PS-Adobe-3.0\n"
    "0 0 1 setrgbcolor 10 20 100 50 rectfill showpage\n"
    "1 0 0 setrgbcolor 0 0 200 300 rectfill showpage\n";

constexpr const char* kEps =
    "%!PS-Adobe-3.0 EPSF-3.0\n"
    "%%BoundingBox: 10 20 110 70\n"
    "%%HiResBoundingBox: 10 20 110 70\n"
    "0 0 1 setrgbcolor 10 20 100 50 rectfill\n"
    "showpage\n";

// Every pixel of the image has the colour (the page was placed and scaled to fill it).
void expect_filled(const Image& img, uint32_t colour) {
  for (const auto& [x, y] : {std::pair<uint32_t, uint32_t>{0, 0}, {img.width - 1, 0}, {0, img.height - 1},
                             {img.width - 1, img.height - 1}, {img.width / 2, img.height / 2}}) {
    EXPECT_EQ(pixel(img, static_cast<int32_t>(x), static_cast<int32_t>(y)), colour) << x << "," << y;
  }
}

class Ghostscript : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ghostscript_available()) << "Ghostscript (libgs) is not installed"; }
  void TearDown() override { ghostscript_look_for(nullptr); }
  Scratch dir;
};

TEST(PageBoxes, HiResLinesInPointsBecomeMillimetres) {
  const std::vector<PageBox> pages = page_boxes(
      "GPL Ghostscript\n%%BoundingBox: 0 0 596 842\n%%HiResBoundingBox: 0 0 595.28 841.89\n"
      "%%HiResBoundingBox: 72 36 144 108\n%%HiResBoundingBox: 1 2 3\n%%HiResBoundingBox: 0 0 72 72\n");
  ASSERT_EQ(pages.size(), 2u) << "a line with fewer than four numbers ends the scan";
  EXPECT_NEAR(pages[0].width, 210.0, 0.005);
  EXPECT_NEAR(pages[0].height, 297.0, 0.005);
  EXPECT_NEAR(pages[1].width, 25.4, 1e-4);
  EXPECT_NEAR(pages[1].height, 25.4, 1e-4);
  EXPECT_NEAR(pages[1].left, 25.4, 1e-4);
  EXPECT_NEAR(pages[1].bottom, 12.7, 1e-4);
  EXPECT_TRUE(page_boxes("").empty());
}

TEST(GhostscriptJobs, ArgumentLimits) {
  GhostscriptJob job;
  for (int i = 0; i < kMostFormattedArguments; ++i) EXPECT_EQ(job_add_formatted_argument(&job, "-r%d", i), 1);
  EXPECT_EQ(job_add_formatted_argument(&job, "-r%d", 99), 0);
  EXPECT_EQ(job.arguments.back(), "-r6");
  while (job.arguments.size() < static_cast<size_t>(kMostJobArguments)) EXPECT_EQ(job_add_argument(&job, "-q"), 1);
  EXPECT_EQ(job_add_argument(&job, "-q"), 0);
}

TEST_F(Ghostscript, AJobReadsItsInputTextAndCollectsWhatItWrites) {
  GhostscriptJob job;
  job_add_argument(&job, "-q");
  job_add_input(&job, "(hello) print flush\n");
  job_add_formatted_input(&job, "(%s) print flush\n", "error text");
  ASSERT_EQ(job_run(&job, "nullpage", nullptr, nullptr), 1) << job.error;
  EXPECT_EQ(job.output, "helloerror text");
  EXPECT_TRUE(job.arguments.empty());

  job_add_input(&job, "this is no PostScript\n");
  EXPECT_EQ(job_run(&job, "nullpage", nullptr, nullptr), 0);
  EXPECT_NE((job.output + job.error).find("undefined"), std::string::npos) << job.output << job.error;
}

TEST_F(Ghostscript, AnA4PageMeasuresAndRendersFittedIntoASquare) {
  // A plus sign in the path: the argument text escapes it so that the name stays one argument.
  const std::string path = write_file(dir / "a4+page one.pdf", pdf_page(kA4Width, kA4Height));
  GhostscriptDocument doc;
  ASSERT_EQ(document_measure(&doc, path.c_str()), 1);
  ASSERT_EQ(doc.pages.size(), 1u);
  EXPECT_NEAR(doc.pages[0].width, 210.0, 0.05);
  EXPECT_NEAR(doc.pages[0].height, 297.0, 0.05);
  EXPECT_NEAR(doc.pages[0].left, 0, 0.05);
  EXPECT_NEAR(doc.pages[0].bottom, 0, 0.05);
  EXPECT_EQ(doc.data.size(), pdf_page(kA4Width, kA4Height).size());

  Image img{};
  // 707 across 210 mm is 85.5 dots per inch: anything else would leave part of 1000 × 1000 unpainted.
  ASSERT_EQ(document_render(&doc, 0, &img, 1000, 1000, 0, 4, false), 1);
  EXPECT_EQ(img.format, Rgb32);
  EXPECT_EQ(img.width, 707u);
  EXPECT_EQ(img.height, 1000u);
  expect_filled(img, kRed);
  image_free(&img);

  const std::string copy = doc.temporary;
  ASSERT_FALSE(copy.empty());
  EXPECT_TRUE(exists(copy));
  EXPECT_FALSE(exists(copy + ".tif")) << "the rendered TIFF is deleted";
  EXPECT_EQ(document_render(&doc, 1, &img, 100, 100, 0, 4, false), 0) << "no second page";
  document_free(&doc);
  EXPECT_FALSE(exists(copy)) << "the temporary copy goes with the document";
  EXPECT_TRUE(doc.pages.empty());
}

TEST_F(Ghostscript, ColourKindsGiveTheirPictures) {
  const std::string path = write_file(dir / "page.pdf", pdf_page(100, 100));
  GhostscriptDocument doc;
  ASSERT_EQ(document_measure(&doc, path.c_str()), 1);
  struct Case {
    int32_t kind;
    uint8_t format;
  };
  for (const Case c : {Case{1, Mono1}, Case{2, Gray8}, Case{4, Rgb32}}) {
    SCOPED_TRACE(c.kind);
    Image img{};
    ASSERT_EQ(document_render(&doc, 0, &img, 40, 40, 0, c.kind, c.kind == 4), 1);
    EXPECT_EQ(img.format, c.format);
    EXPECT_EQ(img.width, 40u);
    EXPECT_EQ(img.height, 40u);
    image_free(&img);
  }
  Image untouched{};
  EXPECT_EQ(document_render(&doc, 0, &untouched, 40, 40, 0, 0, false), 1) << "kind 0 renders nothing";
  EXPECT_EQ(untouched.pixels, nullptr);
  document_free(&doc);
}

TEST_F(Ghostscript, AnEpsAndATwoPagePostScriptDocument) {
  GhostscriptDocument eps;
  ASSERT_EQ(document_measure(&eps, write_file(dir / "box.eps", kEps).c_str()), 1);
  ASSERT_EQ(eps.pages.size(), 1u);
  EXPECT_NEAR(eps.pages[0].width, 100 / 72.0 * 25.4, 0.15);
  EXPECT_NEAR(eps.pages[0].left, 10 / 72.0 * 25.4, 0.15);
  EXPECT_NEAR(eps.pages[0].bottom, 20 / 72.0 * 25.4, 0.15);
  Image img{};
  ASSERT_EQ(document_render(&eps, 0, &img, 200, 200, 0, 4, false), 1);
  EXPECT_EQ(img.width, 200u);
  EXPECT_EQ(img.height, 100u);
  expect_filled(img, kBlue);  // the box, moved to the picture's corner
  image_free(&img);
  document_free(&eps);

  GhostscriptDocument two;
  ASSERT_EQ(document_measure(&two, write_file(dir / "two pages.ps", kTwoPages).c_str()), 1);
  ASSERT_EQ(two.pages.size(), 2u);
  EXPECT_NEAR(two.pages[1].width, 200 / 72.0 * 25.4, 0.15);
  EXPECT_NEAR(two.pages[1].height, 300 / 72.0 * 25.4, 0.15);  // bbox measures in 0.1 mm steps (254 dpi)
  ASSERT_EQ(document_render(&two, 1, &img, 300, 300, 0, 4, false), 1);
  EXPECT_EQ(img.width, 200u);
  EXPECT_EQ(img.height, 300u);
  expect_filled(img, kRed);
  image_free(&img);
  document_free(&two);
}

TEST_F(Ghostscript, TheLoaderRendersTheFirstPageAt75DotsPerInch) {
  const std::string path = write_file(dir / "A4.PDF", pdf_page(kA4Width, kA4Height));
  Image img{};
  float x = 0, y = 0;
  ASSERT_EQ(load_picture(&img, path.c_str(), &x, &y, nullptr, nullptr), 1);
  EXPECT_EQ(img.format, Rgb32);
  EXPECT_EQ(img.width, 619u) << "620 × 876 fitted to the page's proportions";
  EXPECT_EQ(img.height, 876u);
  EXPECT_EQ(x, 75.0f);
  EXPECT_EQ(y, 75.0f);
  expect_filled(img, kRed);
  image_free(&img);

  ASSERT_EQ(load_picture(&img, write_file(dir / "box.eps", kEps).c_str(), nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(img.width, 104u);
  EXPECT_EQ(img.height, 52u);
  image_free(&img);

  ASSERT_EQ(load_picture(&img, write_file(dir / "two.ps", kTwoPages).c_str(), nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(img.width, 104u) << "the first page";
  image_free(&img);

  x = y = -1;
  EXPECT_EQ(load_picture(&img, write_file(dir / "broken.pdf", "%PDF-1.4 nothing").c_str(), &x, &y, nullptr, nullptr), 0);
  EXPECT_EQ(load_picture(&img, (dir / "missing.pdf").c_str(), &x, &y, nullptr, nullptr), 0);
  EXPECT_EQ(x, -1.0f) << "outputs untouched on failure";
}

TEST_F(Ghostscript, ADocumentCannotWriteOrDeleteFiles) {
  const std::string keep = write_file(dir / "keep.txt", "mine\n");
  const std::string planted = dir / "planted.txt";
  const std::string doc_text = "%!PS\n"
                               "{ (" + planted + ") (w) file dup (owned) writestring closefile } stopped pop\n"
                               "{ (" + keep + ") deletefile } stopped pop\n"
                               "{ (" + keep + ") (planted.txt) renamefile } stopped pop\n"
                               "1 0 0 setrgbcolor 0 0 72 72 rectfill showpage\n";
  const std::string path = write_file(dir / "hostile.ps", doc_text);
  GhostscriptDocument doc;
  ASSERT_EQ(document_measure(&doc, path.c_str()), 1);
  Image img{};
  ASSERT_EQ(document_render(&doc, 0, &img, 50, 50, 0, 4, false), 1);
  image_free(&img);
  document_free(&doc);
  EXPECT_FALSE(exists(planted));
  EXPECT_TRUE(exists(keep));
  const files::test_support::RunResult listing = files::test_support::run({"/bin/ls", dir.path});
  EXPECT_EQ(listing.out, "hostile.ps\nkeep.txt\n");
}

TEST_F(Ghostscript, PageBoxesADocumentForgesFailCleanly) {
  // The document writes bbox lines of its own to standard error before its real page.
  const std::string path = write_file(
      dir / "forged.ps",
      "%!PS\n(%stderr) (w) file dup (%%HiResBoundingBox: 0 0 1e30 1\\n) writestring\n"
      "dup (%%HiResBoundingBox: nan 0 nan 5\\n) writestring dup (%%HiResBoundingBox: 0 0 -72 72\\n) writestring\n"
      "flushfile 1 0 0 setrgbcolor 0 0 72 72 rectfill showpage\n");
  GhostscriptDocument doc;
  ASSERT_EQ(document_measure(&doc, path.c_str()), 1);
  ASSERT_EQ(doc.pages.size(), 4u);
  Image img{};
  // The first three boxes have no size a picture can have; the fourth names a fourth page the
  // document does not have, so Ghostscript writes no TIFF.
  for (int32_t page = 0; page < 4; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(document_render(&doc, page, &img, 100, 100, 0, 4, false), 0);
    EXPECT_EQ(img.pixels, nullptr);
  }
  const std::string copy = doc.temporary;
  document_free(&doc);
  EXPECT_FALSE(exists(copy + ".tif"));
  EXPECT_EQ(load_picture(&img, path.c_str(), nullptr, nullptr, nullptr, nullptr), 0) << "its first page is forged";
}

TEST_F(Ghostscript, WithoutTheLibraryEverythingFails) {
  const std::string path = write_file(dir / "page.pdf", pdf_page(100, 100));
  GhostscriptDocument doc;
  ASSERT_EQ(document_measure(&doc, path.c_str()), 1);
  std::string folder = "stale";
  EXPECT_TRUE(ghostscript_available(&folder));
  EXPECT_EQ(folder, "") << "Debian's libgs is not in a folder named bin";

  ghostscript_look_for("libgs-of-nobody.so.0");
  EXPECT_FALSE(ghostscript_available(&folder));
  Image img{};
  EXPECT_EQ(document_render(&doc, 0, &img, 40, 40, 0, 4, false), 0);
  document_free(&doc);
  EXPECT_EQ(document_measure(&doc, path.c_str()), 0);
  GhostscriptJob job;
  EXPECT_EQ(job_run(&job, "nullpage", nullptr, ""), 0);
  float x = -1;
  EXPECT_EQ(load_picture(&img, path.c_str(), &x, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(x, -1.0f);
  EXPECT_EQ(img.pixels, nullptr);
}

}  // namespace
}  // namespace lumra::image
