// How the posix backend finds Windows paths on the host: through a Wine
// prefix laid out as Wine lays it out.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix/drive_map.h"

namespace act {
namespace {

class DriveMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/act-prefix-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    mkdir((prefix_ + "/dosdevices").c_str(), 0777);
    mkdir((prefix_ + "/drive_c").c_str(), 0777);
    // Wine's own links are relative to the dosdevices folder.
    ASSERT_EQ(symlink("../drive_c", (prefix_ + "/dosdevices/c:").c_str()), 0);
    mkdir((prefix_ + "/drive_c/M\xC3\xBAsica").c_str(), 0777);  // "Música"
    std::ofstream(prefix_ + "/drive_c/M\xC3\xBAsica/Lista.TXT") << "x";
  }
  void TearDown() override { std::system(("rm -rf '" + prefix_ + "'").c_str()); }

  std::string prefix_;
};

TEST_F(DriveMapTest, FindsComponentsWithoutRegardToCase) {
  DriveMap drives(prefix_);
  EXPECT_EQ(drives.Resolve("C:\\MÚSICA\\lista.txt").host,
            prefix_ + "/dosdevices/c:/M\xC3\xBAsica/Lista.TXT");
  EXPECT_EQ(drives.Resolve("c:\\música\\.\\..\\Música\\LISTA.txt").host,
            prefix_ + "/dosdevices/c:/M\xC3\xBAsica/Lista.TXT");
  // A missing part and what follows it stay as written, for creation.
  EXPECT_EQ(drives.Resolve("c:\\Música\\Nuevo\\A.txt").host,
            prefix_ + "/dosdevices/c:/M\xC3\xBAsica/Nuevo/A.txt");
  EXPECT_TRUE(drives.Resolve("c:\\Música\\").trailing_separator);
  EXPECT_FALSE(drives.Resolve("c:\\Música").trailing_separator);
}

TEST_F(DriveMapTest, UnmappedDrivesAndPathsWithoutDriveAreNotFound) {
  DriveMap drives(prefix_);
  for (const char* path : {"d:\\x", "x", "\\zentaroDeck", ""}) {
    try {
      drives.Resolve(path);
      ADD_FAILURE() << path;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrPathNotFound);
      EXPECT_EQ(e.detail(), path);
    }
  }
}

TEST_F(DriveMapTest, HostPathsPassThroughAndThePrefixComesFromTheEnvironment) {
  DriveMap drives(prefix_);
  EXPECT_EQ(drives.Resolve("/etc/hostname").host, "/etc/hostname");

  std::string saved = getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "";
  setenv("WINEPREFIX", prefix_.c_str(), 1);
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  EXPECT_TRUE(fs->FileExists("c:\\MÚSICA\\LISTA.TXT"));
  if (saved.empty()) unsetenv("WINEPREFIX"); else setenv("WINEPREFIX", saved.c_str(), 1);
}

TEST_F(DriveMapTest, CopyingALinkLoopFailsInsteadOfRunningForever) {
  ASSERT_EQ(symlink(".", (prefix_ + "/drive_c/M\xC3\xBAsica/loop").c_str()), 0);
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem(prefix_);
  try {
    fs->CopyFolder("c:\\Música", "c:\\copia", true);
    ADD_FAILURE() << "the loop was copied";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPathFileAccess);
  }
  fs->DeleteFolder("c:\\copia", true);
  EXPECT_FALSE(fs->FolderExists("c:\\copia"));
}

TEST_F(DriveMapTest, HiddenAndSystemLiveWhereWineKeepsThem) {
  std::string host = prefix_ + "/drive_c/M\xC3\xBAsica/Lista.TXT";
  if (setxattr(host.c_str(), "user.probe", "1", 1, 0) != 0) GTEST_SKIP() << "no user attributes here";
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem(prefix_);
  fs->SetAttributes("c:\\Música\\Lista.txt", kAttrHidden | kAttrSystem | kAttrReadOnly);
  char text[16] = {};
  ASSERT_GT(getxattr(host.c_str(), "user.DOSATTRIB", text, sizeof(text) - 1), 0);
  EXPECT_STREQ(text, "0x6");  // what Wine's own attrib +h +s writes
  EXPECT_EQ(fs->GetAttributes("c:\\Música\\Lista.txt"),
            uint32_t{kAttrHidden | kAttrSystem | kAttrReadOnly | kAttrArchive});
  fs->SetAttributes("c:\\Música\\Lista.txt", 0);
  EXPECT_LT(getxattr(host.c_str(), "user.DOSATTRIB", text, sizeof(text)), 0);
  EXPECT_EQ(fs->GetAttributes("c:\\Música\\Lista.txt"), uint32_t{kAttrArchive});
}

// A move onto another host file system would be a copy and a delete, which
// a failure part-way leaves whole in neither place; it is refused, as
// MoveFileExW refuses a move between volumes, and nothing changes.
TEST_F(DriveMapTest, MovesBetweenHostFileSystemsAreRefusedAndChangeNothing) {
  char pattern[] = "/dev/shm/act-drive-XXXXXX";
  if (!mkdtemp(pattern)) GTEST_SKIP() << "no /dev/shm";
  std::string other = pattern;
  ASSERT_EQ(symlink(other.c_str(), (prefix_ + "/dosdevices/d:").c_str()), 0);
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem(prefix_);
  fs->CreateFolder("c:\\Música\\sub");
  fs->WriteFileBytes("c:\\Música\\sub\\x.bin", std::vector<uint8_t>(100000, 7));
  fs->WriteFileBytes("d:\\Lista.txt", {'y'});
  for (auto move : {+[](FileSystem& f) { f.MoveFolder("c:\\Música", "d:\\Música"); },
                    +[](FileSystem& f) { f.MoveFile("d:\\Lista.txt", "c:\\Lista2.txt"); }}) {
    try {
      move(*fs);
      ADD_FAILURE() << "moved between file systems";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrPathFileAccess) << e.what();
    }
  }
  EXPECT_EQ(fs->ReadFileBytes("c:\\Música\\sub\\x.bin"), std::vector<uint8_t>(100000, 7));
  EXPECT_EQ(fs->ReadFileBytes("c:\\Música\\Lista.txt"), std::vector<uint8_t>{'x'});
  EXPECT_FALSE(fs->FolderExists("d:\\Música"));
  EXPECT_FALSE(fs->FileExists("c:\\Lista2.txt"));
  EXPECT_EQ(fs->ReadFileBytes("d:\\Lista.txt"), std::vector<uint8_t>{'y'});
  std::system(("rm -rf '" + other + "'").c_str());
}

}  // namespace
}  // namespace act
