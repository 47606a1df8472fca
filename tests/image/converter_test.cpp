// The converter route with stand-in converters (shell scripts named imgconv on the search path)
// and with the shipped tools/imgconv over the real ImageMagick: exit codes deciding, the format
// list from the converter's answer or the fixed one, and a GIF loaded end to end.
#include "framework/image/converter.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/image/ghostscript.h"
#include "framework/image/picture_file.h"
#include "tests/image/document_test_support.h"

namespace lumra::image {
namespace {

using files::test_support::run;
using test_support::exists;
using test_support::pixel;
using test_support::Scratch;
using test_support::write_file;
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairs_of(const char* list) {
  Pairs out;
  while (*list) {
    std::string description = list;
    list += description.size() + 1;
    std::string pattern = list;
    list += pattern.size() + 1;
    out.emplace_back(std::move(description), std::move(pattern));
  }
  return out;
}

// PATH is one folder of this test's: the stand-in converter (or the shipped one) and nothing else
// of the user's; ImageMagick's convert is reached through a link beside it.
class Converter : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_path_ = getenv("PATH") ? getenv("PATH") : "";
    bin_ = dir / "bin";
    mkdir(bin_.c_str(), 0755);
    setenv("PATH", bin_.c_str(), 1);
  }
  void TearDown() override { setenv("PATH", saved_path_.c_str(), 1); }

  void stand_in(const std::string& body) {
    const std::string path = write_file(bin_ + "/imgconv", "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
  }
  void with_image_magick() { symlink("/usr/bin/convert", (bin_ + "/convert").c_str()); }

  Scratch dir;
  std::string bin_;

 private:
  std::string saved_path_;
};

// The fixed list, PDF included when Ghostscript is there (it is, for these tests).
const Pairs kFixed = {{"All (*.*)", "*.*"},
                      {"BMP(Windows bitmap) (*.BMP)", "*.BMP"},
                      {"TIFF(Tagged Image File Format) (*.TIF,*.TIFF)", "*.TIF,*.TIFF"},
                      {"PCX(PC Paintbrush) (*.PCX)", "*.PCX"},
                      {"JPG(Joint Photographic Experts Group) (*.JPG)", "*.JPG"},
                      {"PNG(Portable Network Graphics) (*.PNG)", "*.PNG"},
                      {"PDF(Portable Document Format) (*.PDF)", "*.PDF"}};

TEST_F(Converter, ExitCodeDecidesEvenWhenTheBitmapWasWritten) {
  with_image_magick();
  const std::string picture = write_file(dir / "picture.xyz", "whatever\n");
  for (const int code : {0, 1}) {
    SCOPED_TRACE(code);
    stand_in("convert -size 3x2 xc:red BMP3:\"$2\"\nexit " + std::to_string(code));
    Image img{};
    float x = -1;
    EXPECT_EQ(load_picture(&img, picture.c_str(), &x, nullptr, nullptr, nullptr), code == 0 ? 1 : 0);
    if (code == 0) {
      EXPECT_EQ(img.width, 3u);
      EXPECT_EQ(img.height, 2u);
      EXPECT_EQ(pixel(img, 2, 1), colour_value(255, 0, 0));
    } else {
      EXPECT_EQ(x, -1.0f);
    }
    image_free(&img);
  }
  EXPECT_EQ(run({"/bin/ls", dir.path}).out, "bin\npicture.xyz\n") << "TMP.BMP is never in the current or the picture's folder";
}

TEST_F(Converter, TheConverterGetsThePictureAndItsBitmapAsTwoArguments) {
  stand_in("printf '%s\\n' \"$#\" \"$1\" > \"" + dir.path + "/args\"\nexit 1");
  const std::string picture = write_file(dir / "a \"quoted\" name\\ ok", "x");
  Image img{};
  EXPECT_EQ(load_picture(&img, picture.c_str(), nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(run({"/bin/cat", dir / "args"}).out, "2\n" + dir.path + "/a \"quoted\" name/ ok\n")
      << "the loader's path rule turns the backslash into a separator";
  stand_in("exit 0");
  EXPECT_EQ(load_picture(&img, picture.c_str(), nullptr, nullptr, nullptr, nullptr), 0) << "no bitmap written";
}

TEST_F(Converter, AMissingConverterFailsTheLoad) {
  Image img{};
  EXPECT_EQ(run_converter("-formatslist x"), 0);
  EXPECT_EQ(load_picture(&img, write_file(dir / "noext", "x").c_str(), nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(Converter, TheFormatListFromTheConvertersAnswer) {
  stand_in("[ \"$1\" = -formatslist ] || exit 1\n"
           "printf 'r\\tgif,pcd\\tGIF pictures\\nw\\tpng\\tPNG written only\\nrw\\ttif\\tTIFF\\r\\nbroken line\\n' > \"$2\"");
  EXPECT_EQ(pairs_of(picture_format_list('r')), (Pairs{{"All (*.*)", "*.*"},
                                                       {"PDF(Portable Document Format) (*.PDF)", "*.PDF"},
                                                       {"GIF pictures (*.gif;*.pcd)", "*.gif;*.pcd"},
                                                       {"TIFF (*.tif)", "*.tif"}}));
  EXPECT_EQ(pairs_of(picture_format_list('w')),
            (Pairs{{"All (*.*)", "*.*"}, {"PDF(Portable Document Format) (*.PDF)", "*.PDF"}, {"PNG written only (*.png)", "*.png"}}));
}

TEST_F(Converter, TheFixedListWhenTheConverterFails) {
  stand_in("echo 'r\tgif\tGIF' > \"$2\"\nexit 1");
  EXPECT_EQ(pairs_of(picture_format_list('r')), kFixed);
  stand_in("exit 0");
  EXPECT_EQ(pairs_of(picture_format_list('r')), kFixed) << "no list written";
  ghostscript_look_for("libgs-of-nobody.so.0");
  Pairs without_pdf = kFixed;
  without_pdf.pop_back();
  EXPECT_EQ(pairs_of(picture_format_list('r')), without_pdf);
  ghostscript_look_for(nullptr);
}

TEST_F(Converter, ALongListIsCutAtTheBuffer) {
  stand_in("i=0; while [ $i -lt 200 ]; do printf 'r\\tx%03d\\tFormat number %03d\\n' $i $i; i=$((i+1)); done > \"$2\"");
  const char* list = picture_format_list('r');
  const Pairs pairs = pairs_of(list);
  ASSERT_GT(pairs.size(), 20u);
  EXPECT_LT(pairs.size(), 202u);
  size_t used = 1;
  for (const auto& [d, p] : pairs) used += d.size() + p.size() + 2;
  EXPECT_LE(used, 4096u);
}

TEST_F(Converter, TheShippedConverterLoadsAGifThroughImageMagick) {
  symlink(LUMRA_IMGCONV, (bin_ + "/imgconv").c_str());
  const std::string gif = dir / "picture.gif";
  ASSERT_EQ(run({"/usr/bin/convert", "-size", "5x4", "xc:blue", gif}).status, 0);
  // Without ImageMagick the converter fails, and so does the load.
  Image img{};
  EXPECT_EQ(load_picture(&img, gif.c_str(), nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(pairs_of(picture_format_list('r')), kFixed);

  with_image_magick();
  float x = 0;
  ASSERT_EQ(load_picture(&img, gif.c_str(), &x, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(img.width, 5u);
  EXPECT_EQ(img.height, 4u);
  EXPECT_EQ(pixel(img, 4, 3) & 0xFFFFFF, colour_value(0, 0, 255));
  image_free(&img);

  const Pairs formats = pairs_of(picture_format_list('r'));
  ASSERT_GT(formats.size(), 10u);
  EXPECT_EQ(formats[0].second, "*.*");
  bool gif_listed = false;
  for (const auto& [d, p] : formats) gif_listed |= p == "*.gif";
  EXPECT_TRUE(gif_listed);
}

TEST(Imgconv, HelpUsageAndFailures) {
  EXPECT_EQ(run({LUMRA_IMGCONV, "--help"}).status, 0);
  EXPECT_EQ(run({LUMRA_IMGCONV}).status, 2);
  EXPECT_EQ(run({LUMRA_IMGCONV, "-x", "y"}).status, 2);
  const files::test_support::RunResult r = run({LUMRA_IMGCONV, "/no/such/picture.gif", "/tmp/never.bmp"});
  EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace lumra::image
