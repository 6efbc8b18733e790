#include <gtest/gtest.h>

#include "ui/discovery/drive_names.h"

namespace act {
namespace {

TEST(DriveNames, ShowsLowerCaseLetterColonAndTheLabelInBrackets) {
  EXPECT_EQ(DriveDisplayText("C:\\", "SISTEMA"), "c: [SISTEMA]");
  EXPECT_EQ(DriveDisplayText("d:\\", ""), "d:");
}

TEST(DriveNames, FindsTheDriveByItsLetterInEitherCase) {
  std::vector<std::string> roots = {"a:\\", "c:\\", "z:\\"};
  EXPECT_EQ(FindNamedDrive(roots, "C:"), 1u);
  EXPECT_EQ(FindNamedDrive(roots, "c:"), 1u);
  EXPECT_EQ(FindNamedDrive(roots, "z"), 2u);
  EXPECT_EQ(FindNamedDrive(roots, "c: [SISTEMA]"), 1u);
}

TEST(DriveNames, TextsThatNameNoDriveFindNothing) {
  std::vector<std::string> roots = {"c:\\", "z:\\"};
  for (const char* text : {"", "q:", "\\\\", "x", "c\\", "1:"}) {
    EXPECT_FALSE(FindNamedDrive(roots, text).has_value()) << text;
  }
}

}  // namespace
}  // namespace act
