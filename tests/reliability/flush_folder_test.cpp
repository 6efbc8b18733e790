// FlushFolder on the real backends reaches every file of a tree, read-only
// ones included, and changes nothing; the run's use of it shows through the
// fault-injecting file system, which knows what is written and not synced.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/fault/fault_file_system.h"
#include "tests/reliability/run_drive.h"
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

// A power cut at the swap's first rename finds everything the run wrote into
// the staging folder (package copy, carried rows and settings, listed
// copies) already on the disk.
TEST(FlushFolder, TheRunLeavesNothingUnsyncedWhenTheSwapBegins) {
  struct CutAtTheFirstRename : FaultFileSystem {
    using FaultFileSystem::FaultFileSystem;
    void MoveFile(const std::string& from, const std::string& to) override {
      StopAt(operations() + 1);
      FaultFileSystem::MoveFile(from, to);
    }
  };
  test::RunDrive d({.songs = 20});
  CutAtTheFirstRename cut(d.fs());
  EXPECT_THROW(d.Run(cut), StoppedDead);
  EXPECT_EQ(cut.log().back().path, d.Path("\\zentaroDeck_NEW\\datos.new"));
  EXPECT_EQ(cut.DropUnsyncedData(), 0u);
}

}  // namespace
}  // namespace act
