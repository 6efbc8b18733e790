// The profile functions keep parsed files between calls (natively our own
// cache, under Wine kernel32's): a file changed by anyone else must be seen
// at the very next call (once our own writes are flushed), and keeping
// files must change nothing a caller can observe.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using testing::TempDrive;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class ProfileCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = NewPlatformProfileStore(drive_.fs()); }
  std::string P(const std::string& relative) { return drive_.Path(relative); }

  TempDrive drive_;
  std::unique_ptr<ProfileStore> store_;
};

TEST_F(ProfileCacheTest, SameSizeRewriteRightAfterAReadIsSeen) {
  // Rewritten within the same tick of the file system's clock, at the same
  // size: only the contents tell the two apart.
  for (int round = 0; round < 20; ++round) {
    std::string old_value = "a" + std::to_string(round % 10), new_value = "b" + std::to_string(round % 10);
    drive_.fs().WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=" + old_value + "\r\n"));
    ASSERT_EQ(store_->Read("s", "k", P("\\c.ini")), old_value);
    drive_.fs().WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=" + new_value + "\r\n"));
    ASSERT_EQ(store_->Read("s", "k", P("\\c.ini")), new_value) << "round " << round;
  }
}

TEST_F(ProfileCacheTest, ChangesBetweenOurOwnFlushesAreKept) {
  drive_.fs().WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=1\r\n"));
  ASSERT_TRUE(store_->Write("s", "a", "uno", P("\\c.ini")));
  store_->Flush();
  // Someone else rewrites the file, same size, right after our flush.
  std::string theirs = drive_.ReadText("\\c.ini");
  ASSERT_EQ(theirs, "[s]\r\nk=1\r\na=uno\r\n");
  theirs.replace(theirs.find("k=1"), 3, "k=2");
  drive_.fs().WriteFileBytes(P("\\c.ini"), Bytes(theirs));
  ASSERT_TRUE(store_->Write("s", "b", "dos", P("\\c.ini")));
  store_->Flush();
  EXPECT_EQ(drive_.ReadText("\\c.ini"), "[s]\r\nk=2\r\na=uno\r\nb=dos\r\n");
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "2");
}

TEST_F(ProfileCacheTest, DeletedFileReadsEmptyAndIsCreatedAnewOnWrite) {
  drive_.fs().WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=1\r\nj=2\r\n"));
  ASSERT_EQ(store_->Read("s", "k", P("\\c.ini")), "1");
  drive_.fs().DeleteFile(P("\\c.ini"), true);
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "");
  ASSERT_TRUE(store_->Write("s", "k", "3", P("\\c.ini")));
  store_->Flush();
  EXPECT_EQ(drive_.ReadText("\\c.ini"), "[s]\r\nk=3\r\n");
}

// Texts whose written form does not read back as written (blanks around
// them, line breaks, '=' and '[' in names): the store that keeps its files
// and their pending changes must answer the same values as one that parses
// the saved file anew for every call, and save the same bytes.
TEST_F(ProfileCacheTest, KeptFilesAnswerAsFreshlyParsedOnes) {
  struct Op {
    const char *section, *key, *value;
  };
  const Op ops[] = {
      {"s", "k", "uno"},       {"s ", "k ", "dos  "},   {" t", " j", "  tres"},
      {"s", "a=b", "c"},       {"s", "[x]", "y"},       {"u", "k", "línea\r\notra=1"},
      {"s", "k", "\"comillas\""}, {"v", "k", ""},      {"s", "k", "cuatro\t"},
      {"s", "otra", "5"},      {"", "sin", "sección"}, {"s", "k", "seis"}};
  const char* const reads[][2] = {{"s", "k"}, {"s", "a"}, {"s", "[x]"}, {"u", "k"}, {"u", "otra"},
                                  {"t", "j"}, {"v", "k"}, {"s", "otra"}, {"", "sin"}, {"s", "a=b"}};
  drive_.fs().WriteFileBytes(P("\\kept.ini"), Bytes("; comentario\r\n\r\n[s]\r\nk = 0 \r\n"));
  drive_.fs().WriteFileBytes(P("\\fresh.ini"), Bytes("; comentario\r\n\r\n[s]\r\nk = 0 \r\n"));
  for (const Op& op : ops) {
    auto fresh = NewPlatformProfileStore(drive_.fs());
    EXPECT_EQ(store_->Write(op.section, op.key, op.value, P("\\kept.ini")),
              fresh->Write(op.section, op.key, op.value, P("\\fresh.ini")));
    fresh->Flush();
    for (const auto& r : reads) {
      EXPECT_EQ(store_->Read(r[0], r[1], P("\\kept.ini")),
                NewPlatformProfileStore(drive_.fs())->Read(r[0], r[1], P("\\fresh.ini")))
          << "after " << op.key << "=" << op.value << ", reading " << r[0] << "/" << r[1];
    }
  }
  store_->Flush();
  EXPECT_EQ(drive_.ReadText("\\kept.ini"), drive_.ReadText("\\fresh.ini"));
}

#ifndef _WIN32
// Host-side changes that keep the size and the modification time: what a
// copy with preserved times or a deliberate touch leaves behind.
class SettledFileTest : public ProfileCacheTest {
 protected:
  std::string Host() { return drive_.root() + "/c.ini"; }
  void PutHost(const std::string& text) {
    FILE* f = std::fopen(Host().c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  // Back-dates the file an hour, so that its stamp is trusted.
  void SetOld() {
    struct timespec times[2] = {{kHourAgo, 0}, {kHourAgo, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Host().c_str(), times, 0), 0);
  }
  // Waits until the store may trust the file's stamp, so that only the
  // stamp stands between it and a stale answer.
  void WaitSettled() {
    for (int i = 0; i < 100 && !drive_.fs().GetFileStamp(P("\\c.ini")).settled; ++i) usleep(50'000);
    ASSERT_TRUE(drive_.fs().GetFileStamp(P("\\c.ini")).settled);
  }
  const time_t kHourAgo = time(nullptr) - 3600;
};

TEST_F(SettledFileTest, StampSettlesOnlyWhenTheLastChangeIsPast) {
  PutHost("[s]\r\nk=1\r\n");
  // Times ahead of the clock (a file from a machine whose clock runs
  // ahead) are never trusted.
  time_t ahead = time(nullptr) + 3600;
  struct timespec times[2] = {{ahead, 0}, {ahead, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Host().c_str(), times, 0), 0);
  FileStamp stamp = drive_.fs().GetFileStamp(P("\\c.ini"));
  EXPECT_EQ(stamp.size, 10u);
  EXPECT_EQ(stamp.modified, int64_t(ahead) * 1'000'000'000);
  EXPECT_FALSE(stamp.settled);
  // Once the last change, the inode's included, lies seconds back, a later
  // write must give new times: the stamp is trusted.
  SetOld();
  WaitSettled();
  stamp = drive_.fs().GetFileStamp(P("\\c.ini"));
  EXPECT_TRUE(stamp.settled);
  EXPECT_EQ(stamp.modified, int64_t(kHourAgo) * 1'000'000'000);
  EXPECT_THROW(drive_.fs().GetFileStamp(P("\\none.ini")), Error);
}

TEST_F(SettledFileTest, RewriteThatRestoresTheOldTimeIsSeen) {
  PutHost("[s]\r\nk=1\r\n");
  SetOld();
  WaitSettled();
  ASSERT_EQ(store_->Read("s", "k", P("\\c.ini")), "1");
  PutHost("[s]\r\nk=2\r\n");
  SetOld();  // size and modification time as before; the inode change time moved
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "2");
}

TEST_F(SettledFileTest, FileReplacedByAnotherOfTheSameSizeAndTimeIsSeen) {
  PutHost("[s]\r\nk=1\r\n");
  SetOld();
  WaitSettled();
  ASSERT_EQ(store_->Read("s", "k", P("\\c.ini")), "1");
  std::string other = drive_.root() + "/other.ini";
  FILE* f = std::fopen(other.c_str(), "wb");
  std::fputs("[s]\r\nk=9\r\n", f);
  std::fclose(f);
  struct timespec times[2] = {{kHourAgo, 0}, {kHourAgo, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
  ASSERT_EQ(std::rename(other.c_str(), Host().c_str()), 0);
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "9");
}
#endif

// A service that cannot tell when a file changed: its stamps never settle,
// so every use compares the contents.
class StamplessFileSystem : public FileSystem {
 public:
  explicit StamplessFileSystem(FileSystem& inner) : inner_(inner) {}
  bool FolderExists(const std::string& p) override { return inner_.FolderExists(p); }
  bool FileExists(const std::string& p) override { return inner_.FileExists(p); }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override { inner_.CopyFolder(s, d, o); }
  void CopyFile(const std::string& s, const std::string& d, bool o) override { inner_.CopyFile(s, d, o); }
  void MoveFolder(const std::string& s, const std::string& d) override { inner_.MoveFolder(s, d); }
  void MoveFile(const std::string& s, const std::string& d) override { inner_.MoveFile(s, d); }
  void DeleteFolder(const std::string& p, bool f) override { inner_.DeleteFolder(p, f); }
  void DeleteFile(const std::string& p, bool f) override { inner_.DeleteFile(p, f); }
  void CreateFolder(const std::string& p) override { inner_.CreateFolder(p); }
  uint32_t GetAttributes(const std::string& p) override { return inner_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { inner_.SetAttributes(p, a); }
  std::string GetFileVersion(const std::string& p) override { return inner_.GetFileVersion(p); }
  std::vector<uint8_t> ReadFileBytes(const std::string& p) override { return inner_.ReadFileBytes(p); }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& d) override { inner_.WriteFileBytes(p, d); }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& p, bool w) override {
    return inner_.OpenRandomAccess(p, w);
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return inner_.CreateRandomAccess(p);
  }
  std::vector<std::string> ListFolder(const std::string& p) override { return inner_.ListFolder(p); }
  void FlushFolder(const std::string& p) override { inner_.FlushFolder(p); }
  std::unique_ptr<FileLock> LockFile(const std::string& p) override { return inner_.LockFile(p); }
  bool IsSameOrInsideFolder(const std::string& p, const std::string& f) override {
    return inner_.IsSameOrInsideFolder(p, f);
  }

 private:
  FileSystem& inner_;
};

TEST_F(ProfileCacheTest, WithoutStampsChangesAreSeenByTheirContents) {
  StamplessFileSystem stampless(drive_.fs());
  auto store = NewPlatformProfileStore(stampless);
  stampless.WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=1\r\n"));
  ASSERT_EQ(store->Read("s", "k", P("\\c.ini")), "1");
  ASSERT_TRUE(store->Write("s", "j", "2", P("\\c.ini")));
  store->Flush();
  stampless.WriteFileBytes(P("\\c.ini"), Bytes("[s]\r\nk=3\r\nj=2\r\n"));
  EXPECT_EQ(store->Read("s", "k", P("\\c.ini")), "3");
  EXPECT_EQ(store->Read("s", "j", P("\\c.ini")), "2");
}

}  // namespace
}  // namespace act
