// FileSystem::LockFile through the backend of this build (posix natively,
// the Windows API under Wine): one holder at a time, the file gone with the
// lock, and a lock that its holder's death releases.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/error.h"
#include "platform/file_system.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

TEST(FileLock, OneHolderAtATimeAndNothingLeftBehind) {
  testing::TempDrive drive;
  FileSystem& fs = drive.fs();
  const std::string path = drive.Path("\\bloqueo");
  std::unique_ptr<FileSystem> other = NewPlatformFileSystem(drive.prefix());

  std::unique_ptr<FileLock> first = fs.LockFile(path, 0, 1);
  ASSERT_TRUE(first);
  EXPECT_TRUE(fs.FileExists(path));
  EXPECT_EQ(fs.LockFile(path, 0, 1), nullptr);
  EXPECT_EQ(other->LockFile(path, 0, 1), nullptr);
  first.reset();
  EXPECT_FALSE(fs.FileExists(path));
  EXPECT_TRUE(other->LockFile(path, 0, 1));

  // A file left by a holder that died is taken over.
  drive.WriteText("\\bloqueo", "");
  std::unique_ptr<FileLock> taken = fs.LockFile(path, 0, 1);
  EXPECT_TRUE(taken);
  taken.reset();

  try {
    fs.LockFile(drive.Path("\\no\\bloqueo"), 0, 1);
    ADD_FAILURE() << "locked a file in a missing folder";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
}

#ifndef _WIN32
// The holder killed outright: the system drops its lock with the process.
TEST(FileLock, ReleasedWhenItsHolderIsKilled) {
  testing::TempDrive drive;
  const std::string path = drive.Path("\\bloqueo");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    std::unique_ptr<FileLock> held = NewPlatformFileSystem(drive.prefix())->LockFile(path, 0, 1);
    char byte = held ? 1 : 0;
    (void)!write(ready[1], &byte, 1);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  EXPECT_EQ(drive.fs().LockFile(path, 0, 1), nullptr);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(drive.fs().FileExists(path));
  EXPECT_TRUE(drive.fs().LockFile(path, 0, 1));
  close(ready[0]);
  close(ready[1]);
}
#endif

}  // namespace
}  // namespace act
