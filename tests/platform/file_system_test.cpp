// The FileSystemObject rules the update run relies on, checked on a drive of
// the test's own, through the backend of this build (posix natively, the
// Windows API under Wine).
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <set>

#include "platform/error.h"
#include "platform/file_system.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using testing::TempDrive;

// Runs the call and returns the error number it failed with (0 if none),
// checking that the report names the path.
template <typename Call>
int ErrorOf(Call call, const std::string& named_path = "") {
  try {
    call();
  } catch (const Error& e) {
    if (!named_path.empty()) {
      EXPECT_NE(std::string(e.what()).find(named_path), std::string::npos) << e.what();
    }
    return e.number();
  }
  return 0;
}

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_.MakeFolders("\\src\\sub\\deep");
    drive_.WriteText("\\src\\a.txt", "alpha");
    drive_.WriteText("\\src\\sub\\b.bin", RandomBytes(3 << 20, 7));
    drive_.WriteText("\\src\\sub\\deep\\c.txt", "");
  }

  std::string P(const std::string& relative) { return drive_.Path(relative); }
  FileSystem& fs() { return drive_.fs(); }

  // A drive letter that nothing maps.
  std::string UnmappedDrive() {
    for (char letter = 'q'; letter >= 'b'; --letter) {
      std::string drive = std::string(1, letter) + ":";
      if (!fs().FolderExists(drive + "\\")) return drive;
    }
    ADD_FAILURE() << "every drive letter is mapped";
    return "q:";
  }

  TempDrive drive_;
};

TEST_F(FileSystemTest, PathsAreMatchedAsWindowsMatchesThem) {
  EXPECT_TRUE(fs().FolderExists(P("\\src")));
  EXPECT_TRUE(fs().FileExists(P("\\src\\a.txt")));
  EXPECT_FALSE(fs().FileExists(P("\\src")));
  EXPECT_FALSE(fs().FolderExists(P("\\src\\a.txt")));
  EXPECT_FALSE(fs().FileExists(P("\\src\\missing.txt")));
  // Letter case, doubled separators, the drive in capitals, drive-relative.
  EXPECT_TRUE(fs().FileExists(P("\\SRC\\Sub\\B.BIN")));
  EXPECT_TRUE(fs().FileExists(P("\\\\src\\\\a.txt")));
  std::string capital_drive = P("\\src");
  capital_drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capital_drive[0])));
  EXPECT_TRUE(fs().FolderExists(capital_drive));
  EXPECT_TRUE(fs().FolderExists(drive_.drive() + "src\\sub"));
  EXPECT_TRUE(fs().FolderExists(drive_.drive() + "\\"));
  EXPECT_EQ(drive_.ReadText("\\Src\\A.TXT"), "alpha");
}

TEST_F(FileSystemTest, UnmappedDriveIsPathNotFound) {
  std::string other = UnmappedDrive();
  EXPECT_FALSE(fs().FolderExists(other + "\\src"));
  EXPECT_FALSE(fs().FileExists(other + "\\a.txt"));
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(other + "\\a.txt", P("\\x.txt"), true); }, other + "\\a.txt"),
            kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().CreateFolder(other + "\\new"); }), kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().GetFileVersion(other + "\\x.exe"); }), kErrPathNotFound);
}

TEST_F(FileSystemTest, CopyFileReplacesButNeverAReadOnlyFile) {
  fs().CopyFile(P("\\src\\sub\\b.bin"), P("\\copy.bin"), true);
  EXPECT_EQ(drive_.ReadText("\\copy.bin"), drive_.ReadText("\\src\\sub\\b.bin"));
  fs().CopyFile(P("\\src\\a.txt"), P("\\copy.bin"), true);
  EXPECT_EQ(drive_.ReadText("\\copy.bin"), "alpha");
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(P("\\src\\a.txt"), P("\\copy.bin"), false); }, P("\\copy.bin")),
            kErrFileAlreadyExists);

  fs().SetAttributes(P("\\copy.bin"), kAttrReadOnly);
  for (bool overwrite : {true, false}) {
    int error = ErrorOf([&] { fs().CopyFile(P("\\src\\sub\\deep\\c.txt"), P("\\copy.bin"), overwrite); });
    EXPECT_TRUE(error == kErrPermissionDenied || (!overwrite && error == kErrFileAlreadyExists)) << error;
  }
  EXPECT_EQ(drive_.ReadText("\\copy.bin"), "alpha");
}

TEST_F(FileSystemTest, CopyFileFailures) {
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(P("\\src\\none.txt"), P("\\x.txt"), true); }, P("\\src\\none.txt")),
            kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(P("\\src\\a.txt"), P("\\nofolder\\x.txt"), true); },
                    P("\\nofolder\\x.txt")),
            kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(P("\\src\\a.txt"), P("\\nofolder\\"), true); }), kErrPathNotFound);
  // A folder in the way is not replaced by a file.
  EXPECT_EQ(ErrorOf([&] { fs().CopyFile(P("\\src\\a.txt"), P("\\src\\sub"), true); }), kErrPermissionDenied);
  EXPECT_TRUE(fs().FolderExists(P("\\src\\sub\\deep")));
}

TEST_F(FileSystemTest, CopyFileIntoFolderKeepsNameAndReadOnlyState) {
  drive_.MakeFolders("\\dest");
  fs().SetAttributes(P("\\src\\a.txt"), kAttrReadOnly);
  fs().CopyFile(P("\\src\\a.txt"), P("\\dest\\"), true);
  EXPECT_EQ(drive_.ReadText("\\dest\\a.txt"), "alpha");
  // CopyFile carries the source's read-only attribute, as on Windows.
  EXPECT_TRUE(fs().GetAttributes(P("\\dest\\a.txt")) & kAttrReadOnly);
}

TEST_F(FileSystemTest, CopyFolderCopiesMergesAndNests) {
  fs().CopyFolder(P("\\src"), P("\\dst"), true);
  EXPECT_EQ(drive_.ReadText("\\dst\\sub\\b.bin"), drive_.ReadText("\\src\\sub\\b.bin"));
  EXPECT_TRUE(fs().FileExists(P("\\dst\\sub\\deep\\c.txt")));

  // Into an existing folder: merged, existing files replaced, others kept.
  drive_.WriteText("\\dst\\a.txt", "old");
  drive_.WriteText("\\dst\\extra.txt", "kept");
  fs().CopyFolder(P("\\src"), P("\\DST"), true);
  EXPECT_EQ(drive_.ReadText("\\dst\\a.txt"), "alpha");
  EXPECT_EQ(drive_.ReadText("\\dst\\extra.txt"), "kept");

  // A trailing backslash: the source becomes a subfolder of the destination.
  fs().CopyFolder(P("\\src\\sub"), P("\\dst\\"), true);
  EXPECT_TRUE(fs().FileExists(P("\\dst\\sub\\deep\\c.txt")));
  fs().CopyFolder(P("\\src"), P("\\dst\\"), true);
  EXPECT_EQ(drive_.ReadText("\\dst\\src\\a.txt"), "alpha");

  // A file there under another letter case is the same file: replaced, and
  // its name kept.
  drive_.MakeFolders("\\merge");
  drive_.WriteText("\\merge\\A.TXT", "old");
  fs().CopyFolder(P("\\src"), P("\\merge"), true);
  std::vector<std::string> names = fs().ListFolder(P("\\merge"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.TXT", "sub"}));
  EXPECT_EQ(drive_.ReadText("\\merge\\a.txt"), "alpha");
}

// A progress display hears of a large file block by block as it is
// copied, named as the copy's destination, and of every byte of it.
TEST_F(FileSystemTest, CopyProgressMovesWithinAFile) {
  const size_t size = 20 << 20;
  drive_.MakeFolders("\\video");
  drive_.WriteText("\\video\\bar.mp4", std::string(size, 'v'));
  std::vector<uint64_t> told;
  std::set<std::string> named;
  fs().SetCopyProgress([&](const std::string& file, uint64_t bytes) {
    named.insert(file);
    told.push_back(bytes);
  });
  fs().CopyFolder(P("\\video"), P("\\copia"), true);
  fs().SetCopyProgress(nullptr);
#ifdef _WIN32
  // Wine's CopyFileExW calls no progress routine: the file is told of once,
  // when it is copied.
  if (!testing::RunningUnderWine())
#endif
    EXPECT_GT(told.size(), 1u);
  EXPECT_EQ(std::accumulate(told.begin(), told.end(), uint64_t(0)), size);
  EXPECT_EQ(named, std::set<std::string>{P("\\copia\\bar.mp4")});
}

TEST_F(FileSystemTest, CopyFolderFailures) {
  EXPECT_EQ(ErrorOf([&] { fs().CopyFolder(P("\\nothing"), P("\\dst"), true); }, P("\\nothing")),
            kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().CopyFolder(P("\\src"), P("\\no\\dst"), true); }), kErrPathNotFound);
  fs().CopyFolder(P("\\src"), P("\\dst"), true);
  fs().SetAttributes(P("\\dst\\sub\\b.bin"), kAttrReadOnly);
  EXPECT_EQ(ErrorOf([&] { fs().CopyFolder(P("\\src"), P("\\dst"), true); }), kErrPermissionDenied);
  // Into itself: refused rather than copied forever.
  EXPECT_NE(ErrorOf([&] { fs().CopyFolder(P("\\src"), P("\\src\\sub\\again"), true); }), 0);
}

TEST_F(FileSystemTest, MovesNeedAFreeDestination) {
  fs().MoveFile(P("\\src\\a.txt"), P("\\src\\renamed.txt"));
  EXPECT_FALSE(fs().FileExists(P("\\src\\a.txt")));
  EXPECT_EQ(drive_.ReadText("\\src\\renamed.txt"), "alpha");

  drive_.WriteText("\\taken.txt", "x");
  EXPECT_EQ(ErrorOf([&] { fs().MoveFile(P("\\src\\renamed.txt"), P("\\taken.txt")); }, P("\\taken.txt")),
            kErrFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fs().MoveFile(P("\\src\\gone.txt"), P("\\free.txt")); }), kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().MoveFile(P("\\src\\renamed.txt"), P("\\no\\free.txt")); }), kErrPathNotFound);

  drive_.MakeFolders("\\SOPORTE");
  fs().MoveFolder(P("\\src"), P("\\SOPORTE\\src_1.0"));
  EXPECT_FALSE(fs().FolderExists(P("\\src")));
  EXPECT_TRUE(fs().FileExists(P("\\soporte\\SRC_1.0\\sub\\b.bin")));
  drive_.MakeFolders("\\other");
  EXPECT_EQ(ErrorOf([&] { fs().MoveFolder(P("\\other"), P("\\SOPORTE\\src_1.0")); }), kErrFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fs().MoveFolder(P("\\src"), P("\\free")); }, P("\\src")), kErrPathNotFound);
  EXPECT_TRUE(fs().FolderExists(P("\\other")));
}

TEST_F(FileSystemTest, ReplaceFilePutsANewFileInPlaceKeepingAttributes) {
  drive_.WriteText("\\src\\a.txt.new", "beta");
  fs().SetAttributes(P("\\src\\a.txt"), kAttrHidden | kAttrArchive);
  fs().ReplaceFile(P("\\src\\a.txt"), P("\\src\\a.txt.new"));
  EXPECT_EQ(drive_.ReadText("\\src\\a.txt"), "beta");
  EXPECT_FALSE(fs().FileExists(P("\\src\\a.txt.new")));
  EXPECT_EQ(fs().GetAttributes(P("\\src\\a.txt")) & kAttrHidden, uint32_t(kAttrHidden));

  EXPECT_EQ(ErrorOf([&] { fs().ReplaceFile(P("\\src\\a.txt"), P("\\src\\gone.txt")); },
                    P("\\src\\gone.txt")),
            kErrFileNotFound);
  drive_.WriteText("\\src\\c.new", "gamma");
  EXPECT_EQ(ErrorOf([&] { fs().ReplaceFile(P("\\src\\gone.txt"), P("\\src\\c.new")); }),
            kErrFileNotFound);
  // Only within one folder: across folders it is a move, which may copy.
  EXPECT_EQ(ErrorOf([&] { fs().ReplaceFile(P("\\src\\sub\\b.bin"), P("\\src\\c.new")); }),
            kErrPathFileAccess);
  EXPECT_EQ(drive_.ReadText("\\src\\c.new"), "gamma");
}

TEST_F(FileSystemTest, DeleteRespectsReadOnlyUnlessForced) {
  fs().SetAttributes(P("\\src\\a.txt"), kAttrReadOnly);
  EXPECT_EQ(ErrorOf([&] { fs().DeleteFile(P("\\src\\a.txt"), false); }, P("\\src\\a.txt")),
            kErrPermissionDenied);
  EXPECT_TRUE(fs().FileExists(P("\\src\\a.txt")));
  EXPECT_EQ(ErrorOf([&] { fs().DeleteFile(P("\\src\\none.txt"), false); }), kErrFileNotFound);

  fs().SetAttributes(P("\\src\\sub\\b.bin"), kAttrReadOnly);
  fs().DeleteFolder(P("\\SRC"), true);
  EXPECT_FALSE(fs().FolderExists(P("\\src")));
  EXPECT_EQ(ErrorOf([&] { fs().DeleteFolder(P("\\src"), true); }), kErrPathNotFound);

  drive_.WriteText("\\plain.txt", "p");
  fs().DeleteFile(P("\\plain.txt"), false);
  EXPECT_FALSE(fs().FileExists(P("\\plain.txt")));
}

TEST_F(FileSystemTest, CreateFolderMakesOneLevel) {
  fs().CreateFolder(P("\\new"));
  EXPECT_TRUE(fs().FolderExists(P("\\new")));
  EXPECT_EQ(ErrorOf([&] { fs().CreateFolder(P("\\NEW")); }), kErrFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fs().CreateFolder(P("\\a\\b")); }, P("\\a\\b")), kErrPathNotFound);
}

TEST_F(FileSystemTest, AttributesReadOnlyAndNormal) {
  // A folder is no file, as GetFile says.
  EXPECT_EQ(ErrorOf([&] { fs().GetAttributes(P("\\src")); }, P("\\src")), kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().SetAttributes(P("\\src"), 0); }, P("\\src")), kErrFileNotFound);
  EXPECT_FALSE(fs().GetAttributes(P("\\src\\a.txt")) & kAttrReadOnly);
  fs().SetAttributes(P("\\src\\a.txt"), kAttrReadOnly | kAttrHidden);
  EXPECT_TRUE(fs().GetAttributes(P("\\src\\a.txt")) & kAttrReadOnly);
  EXPECT_EQ(ErrorOf([&] { drive_.WriteText("\\src\\a.txt", "changed"); }), kErrPermissionDenied);
  fs().SetAttributes(P("\\src\\a.txt"), 0);
  EXPECT_EQ(fs().GetAttributes(P("\\src\\a.txt")) & (kAttrReadOnly | kAttrHidden | kAttrSystem), 0u);
  drive_.WriteText("\\src\\a.txt", "changed");
  EXPECT_EQ(drive_.ReadText("\\src\\a.txt"), "changed");
  EXPECT_EQ(ErrorOf([&] { fs().GetAttributes(P("\\src\\none")); }), kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { fs().SetAttributes(P("\\src\\none"), 0); }), kErrFileNotFound);
}

TEST_F(FileSystemTest, WholeFileAndRandomAccess) {
  EXPECT_EQ(ErrorOf([&] { fs().ReadFileBytes(P("\\src\\none")); }), kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { drive_.WriteText("\\no\\x.txt", "x"); }), kErrPathNotFound);

  auto file = fs().CreateRandomAccess(P("\\db.mdb"));
  file->WriteAt(4096, "page", 4);
  file->WriteAt(0, "head", 4);
  EXPECT_EQ(file->Size(), 4100u);
  char buffer[8] = {};
  EXPECT_EQ(file->ReadAt(4096, buffer, 8), 4u);
  EXPECT_EQ(std::string(buffer, 4), "page");
  file->Truncate(4);
  file->Sync();
  EXPECT_EQ(file->Size(), 4u);
  file.reset();
  EXPECT_EQ(drive_.ReadText("\\db.mdb"), "head");

  EXPECT_EQ(ErrorOf([&] { fs().CreateRandomAccess(P("\\db.mdb")); }), kErrFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { fs().OpenRandomAccess(P("\\none.mdb"), false); }, P("\\none.mdb")),
            kErrFileNotFound);
  fs().SetAttributes(P("\\db.mdb"), kAttrReadOnly);
  EXPECT_EQ(ErrorOf([&] { fs().OpenRandomAccess(P("\\db.mdb"), true); }), kErrPermissionDenied);
  EXPECT_EQ(fs().OpenRandomAccess(P("\\DB.MDB"), false)->Size(), 4u);
}

TEST_F(FileSystemTest, ListFolderNamesEntries) {
  std::vector<std::string> names = fs().ListFolder(P("\\src"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub"}));
  EXPECT_EQ(ErrorOf([&] { fs().ListFolder(P("\\none")); }), kErrPathNotFound);
}

}  // namespace
}  // namespace act
