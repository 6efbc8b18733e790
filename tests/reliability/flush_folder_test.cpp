// FlushFolder on the real backends: it reaches every file of a tree,
// read-only ones included, and leaves contents and attributes as they were.
// (Whether the bytes reached the disk cannot be seen from here; the
// fault-injecting file system's power cut is what tests the run's use.)
#include <gtest/gtest.h>

#include "platform/error.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

TEST(FlushFolder, FlushesATreeWithReadOnlyFilesAndChangesNothing) {
  testing::TempDrive drive;
  drive.MakeFolders("\\zentaroDeck_NEW\\fotos\\viejas");
  drive.WriteText("\\zentaroDeck_NEW\\datos.mdb", "base");
  drive.WriteText("\\zentaroDeck_NEW\\fotos\\1.jpg", "foto");
  drive.WriteText("\\zentaroDeck_NEW\\fotos\\viejas\\2.jpg", "otra");
  FileSystem& fs = drive.fs();
  fs.SetAttributes(drive.Path("\\zentaroDeck_NEW\\fotos\\1.jpg"), kAttrReadOnly);

  fs.FlushFolder(drive.Path("\\zentaroDeck_NEW"));

  EXPECT_EQ(drive.ReadText("\\zentaroDeck_NEW\\datos.mdb"), "base");
  EXPECT_EQ(drive.ReadText("\\zentaroDeck_NEW\\fotos\\1.jpg"), "foto");
  EXPECT_EQ(drive.ReadText("\\zentaroDeck_NEW\\fotos\\viejas\\2.jpg"), "otra");
  EXPECT_EQ(fs.GetAttributes(drive.Path("\\zentaroDeck_NEW\\fotos\\1.jpg")) & kAttrReadOnly,
            uint32_t{kAttrReadOnly});
  EXPECT_EQ(fs.GetAttributes(drive.Path("\\zentaroDeck_NEW\\datos.mdb")) & kAttrReadOnly, 0u);
}

TEST(FlushFolder, AMissingFolderIsPathNotFound) {
  testing::TempDrive drive;
  try {
    drive.fs().FlushFolder(drive.Path("\\nada"));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
}

}  // namespace
}  // namespace act
