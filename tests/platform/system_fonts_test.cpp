// Font lookup through the system's font configuration, against the faces Debian's
// fonts-dejavu-core installs: a family is found case-blind, with the nearest weight, and a family
// the system lacks is absent even though the configuration answers with a substitute.
#include "platform/system/fonts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lumra::sys {
namespace {

TEST(SystemFonts, FindsAFamilyWhateverTheCase) {
  FontFile regular;
  ASSERT_TRUE(find_font("DejaVu Sans", kFontWeightRegular, false, &regular));
  EXPECT_TRUE(std::filesystem::is_regular_file(regular.path)) << regular.path;
  EXPECT_EQ(regular.index, 0);
  EXPECT_GE(regular.weight, 350);
  EXPECT_LT(regular.weight, 500);
  EXPECT_FALSE(regular.italic);
  FontFile other_case;
  ASSERT_TRUE(find_font("dejavu SANS", kFontWeightRegular, false, &other_case));
  EXPECT_EQ(other_case.path, regular.path);
}

TEST(SystemFonts, NearestWeightAndSlant) {
  FontFile regular, bold, italic;
  ASSERT_TRUE(find_font("DejaVu Sans", kFontWeightRegular, false, &regular));
  ASSERT_TRUE(find_font("DejaVu Sans", kFontWeightBold, false, &bold));
  EXPECT_NE(bold.path, regular.path);
  EXPECT_GE(bold.weight, 600);
  // Without fonts-dejavu-extra there is no oblique face: then the roman one comes back, and says so.
  ASSERT_TRUE(find_font("DejaVu Sans", kFontWeightRegular, true, &italic));
  EXPECT_EQ(italic.italic, italic.path != regular.path);
}

TEST(SystemFonts, ALongerNameIsAnotherFamily) {
  FontFile sans, mono;
  ASSERT_TRUE(find_font("DejaVu Sans", kFontWeightRegular, false, &sans));
  ASSERT_TRUE(find_font("DejaVu Sans Mono", kFontWeightRegular, false, &mono));
  EXPECT_NE(mono.path, sans.path);
}

TEST(SystemFonts, AbsentFamilies) {
  FontFile f;
  for (const char* family : {"No Such Family Lumra", "sans-serif", "DejaVu", ""}) {
    EXPECT_FALSE(find_font(family, kFontWeightRegular, false, &f)) << family;
  }
  EXPECT_FALSE(find_font(nullptr, kFontWeightRegular, false, &f));
  EXPECT_FALSE(find_font("DejaVu Sans", kFontWeightRegular, false, nullptr));
}

TEST(SystemFonts, DefaultFaceForTheDesktopsTexts) {
  FontFile f;
  ASSERT_TRUE(find_default_font(kFontWeightRegular, false, &f));
  EXPECT_TRUE(std::filesystem::is_regular_file(f.path)) << f.path;
}

}  // namespace
}  // namespace lumra::sys
