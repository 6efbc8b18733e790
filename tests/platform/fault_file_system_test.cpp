// The fault-injecting file system: failures land where asked, and a stop
// leaves exactly the half-done state a power cut would.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/fault/fault_file_system.h"
#include "platform/profile_store.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using testing::TempDrive;

class FaultFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_.MakeFolders("\\pkg\\sub");
    drive_.WriteText("\\pkg\\1.bin", std::string(1000, '1'));
    drive_.WriteText("\\pkg\\sub\\2.bin", std::string(2000, '2'));
    drive_.WriteText("\\pkg\\sub\\3.bin", std::string(3000, '3'));
  }
  std::string P(const std::string& relative) { return drive_.Path(relative); }

  TempDrive drive_;
  FaultFileSystem faulty_{drive_.fs()};
};

TEST_F(FaultFileSystemTest, FailsTheChosenOperationOnly) {
  faulty_.FailAt(2, kErrDiskFull);
  faulty_.CreateFolder(P("\\a"));
  try {
    faulty_.CreateFolder(P("\\b"));
    FAIL() << "no failure";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDiskFull);
    EXPECT_EQ(e.detail(), P("\\b"));
  }
  faulty_.CreateFolder(P("\\c"));
  EXPECT_TRUE(drive_.fs().FolderExists(P("\\a")));
  EXPECT_FALSE(drive_.fs().FolderExists(P("\\b")));
  EXPECT_TRUE(drive_.fs().FolderExists(P("\\c")));
  EXPECT_EQ(faulty_.operations(), 3u);
}

TEST_F(FaultFileSystemTest, StopInsideAFolderCopyLeavesAHalfFile) {
  // Operation 1 is the call itself; 2, 3 and 4 are its three files.
  faulty_.StopAt(3);
  EXPECT_THROW(faulty_.CopyFolder(P("\\pkg"), P("\\staged"), true), StoppedDead);
  EXPECT_TRUE(faulty_.stopped());
  size_t whole = 0, half = 0, missing = 0;
  for (const char* name : {"\\staged\\1.bin", "\\staged\\sub\\2.bin", "\\staged\\sub\\3.bin"}) {
    if (!drive_.fs().FileExists(P(name))) {
      ++missing;
      continue;
    }
    std::string original = drive_.ReadText(std::string(name).replace(0, 7, "\\pkg"));
    std::string copied = drive_.ReadText(name);
    if (copied == original) ++whole;
    else if (copied == original.substr(0, original.size() / 2)) ++half;
  }
  EXPECT_EQ(whole, 1u);
  EXPECT_EQ(half, 1u);
  EXPECT_EQ(missing, 1u);
  // Nothing runs after the stop.
  EXPECT_THROW(faulty_.FileExists(P("\\pkg\\1.bin")), StoppedDead);
  EXPECT_THROW(faulty_.DeleteFolder(P("\\staged"), true), StoppedDead);
}

TEST_F(FaultFileSystemTest, StopInsideARandomAccessWriteWritesPart) {
  auto file = faulty_.CreateRandomAccess(P("\\db.mdb"));  // operation 1
  file->WriteAt(0, "AAAAAAAA", 8);                        // 2
  faulty_.StopAt(3);
  EXPECT_THROW(file->WriteAt(8, "BBBBBBBB", 8), StoppedDead);
  EXPECT_THROW(file->Sync(), StoppedDead);
  file.reset();
  EXPECT_EQ(drive_.ReadText("\\db.mdb"), "AAAAAAAABBBB");
}

TEST_F(FaultFileSystemTest, PowerCutEmptiesWhatWasNotSyncedWhereverItMovedAndUndoesAnUnsyncedMove) {
  faulty_.CopyFolder(P("\\pkg"), P("\\staged"), true);
  faulty_.MoveFolder(P("\\staged"), P("\\moved"));
  auto file = faulty_.CreateRandomAccess(P("\\db.mdb"));
  file->WriteAt(0, "AAAA", 4);
  file->Sync();
  auto unsynced = faulty_.CreateRandomAccess(P("\\log.txt"));
  unsynced->WriteAt(0, "BBBB", 4);
  file.reset();
  unsynced.reset();
  // The rename goes through; the cut comes before the sync of its folders.
  faulty_.StopAt(faulty_.operations() + 2);
  EXPECT_THROW(faulty_.MoveFile(P("\\db.mdb"), P("\\pkg\\db.mdb")), StoppedDead);

  EXPECT_EQ(faulty_.DropUnsyncedData(), 4u);
  EXPECT_EQ(drive_.ReadText("\\moved\\1.bin"), "");
  EXPECT_EQ(drive_.ReadText("\\moved\\sub\\3.bin"), "");
  EXPECT_EQ(drive_.ReadText("\\log.txt"), "");
  // Synced data, files never written and a move whose sync came stay; the
  // move that was not synced is undone.
  EXPECT_EQ(drive_.ReadText("\\db.mdb"), "AAAA");
  EXPECT_FALSE(drive_.fs().FileExists(P("\\pkg\\db.mdb")));
  EXPECT_EQ(drive_.ReadText("\\pkg\\1.bin"), std::string(1000, '1'));
}

TEST_F(FaultFileSystemTest, ProfileWritesSeeTheFaults) {
  drive_.WriteText("\\c.ini", "[s]\r\nk=old\r\n");
  std::unique_ptr<ProfileStore> store = NewPlatformProfileStore(faulty_);
  faulty_.FailAt(faulty_.operations() + 1, kErrDeviceIO);
  // On Windows the profile functions do not go through the service at all.
#ifndef _WIN32
  EXPECT_FALSE(store->Write("s", "k", "new", P("\\c.ini")));
  EXPECT_EQ(drive_.ReadText("\\c.ini"), "[s]\r\nk=old\r\n");
#endif
  EXPECT_TRUE(store->Write("s", "k", "new", P("\\c.ini")));
  EXPECT_EQ(store->Read("s", "k", P("\\c.ini")), "new");
#ifndef _WIN32
  // The change reaches the file at Flush, which meets the fault that saving
  // it meets, and reports it with its number and file.
  faulty_.FailAt(faulty_.operations() + 1, kErrDeviceIO);
  try {
    store->Flush();
    ADD_FAILURE() << "the flush reported no failure";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDeviceIO);
    EXPECT_NE(std::string(e.what()).find("c.ini"), std::string::npos) << e.what();
  }
  EXPECT_EQ(drive_.ReadText("\\c.ini"), "[s]\r\nk=old\r\n");
  EXPECT_EQ(store->Read("s", "k", P("\\c.ini")), "old");
  // With nothing left to save, a flush touches no file at all.
  uint64_t operations = faulty_.operations();
  store->Flush();
  EXPECT_EQ(faulty_.operations(), operations);
#endif
}

}  // namespace
}  // namespace act
