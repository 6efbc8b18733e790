// A database another program has open is never written: jetsql finds Jet's
// user locks on the .ldb beside it and refuses with 3045, and marks the
// database in use the same way while it writes.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_errors.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "db/jet/file/in_use_mark.h"
#include "db/jet/file/working_copy.h"
#include "platform/file_system_wrapper.h"
#include "tests/jetsql/tool_util.h"

namespace act::jetsql {
namespace {

// A Jet user holding slot 3 of the .ldb, as Jet does while it has the
// database open: a lock on byte 0x10000003, past the file's end. Natively
// another process with a classic record lock, the kind wineserver places
// for a Jet under Wine; on Windows a handle of its own, whose LockFileEx
// lock stops every other handle as another process's would.
class JetUser {
 public:
  explicit JetUser(const std::string& ldb, const std::string& host_ldb) {
#ifdef _WIN32
    (void)host_ldb;
    handle_ = CreateFileW(Wide(ldb).c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED at = {};
    at.Offset = 0x10000003;
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
    locked_ = handle_ != INVALID_HANDLE_VALUE && LockFileEx(handle_, flags, 0, 1, 0, &at);
#else
    (void)ldb;
    int ready[2];
    if (pipe(ready) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      int fd = open(host_ldb.c_str(), O_RDWR | O_CREAT, 0666);
      struct flock slot = {};
      slot.l_type = F_WRLCK;
      slot.l_whence = SEEK_SET;
      slot.l_start = 0x10000003;
      slot.l_len = 1;
      char ok = fd >= 0 && fcntl(fd, F_SETLK, &slot) == 0 ? 1 : 0;
      (void)!write(ready[1], &ok, 1);
      pause();
      _exit(0);
    }
    char ok = 0;
    locked_ = child_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
    close(ready[1]);
#endif
  }
  ~JetUser() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
#else
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
#endif
  }
  bool locked() const { return locked_; }

 private:
  bool locked_ = false;
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  pid_t child_ = -1;
#endif
};

// Runs a second jetsql on the same file at the moment the first puts its
// copy in place, when it is still writing.
class SecondWriterAtReplace : public FileSystemWrapper {
 public:
  SecondWriterAtReplace(FileSystem& fs, std::string database)
      : FileSystemWrapper(fs), database_(std::move(database)) {}
  void ReplaceFile(const std::string& replaced, const std::string& replacement) override {
    second = RunTool(target(), {database_, "UPDATE Table1 SET A = 'x'"});
    FileSystemWrapper::ReplaceFile(replaced, replacement);
  }
  Outcome second;

 private:
  std::string database_;
};

TEST(InUse, AWriteIsRefusedWhileAnotherProgramHasTheDatabaseOpen) {
  SampleCopy sample("jet3/testV1997.mdb");
  const std::string ldb = db::jet::LockFileOf(sample.path());
  EXPECT_EQ(ldb, sample.drive().Path("\\datos.ldb"));
  {
    JetUser product(ldb, sample.drive().root() + "/datos.ldb");
    ASSERT_TRUE(product.locked());
    for (const char* mode : {"", "--keep-going"}) {
      std::vector<std::string> args = {sample.path(), "UPDATE Table1 SET A = 'x'"};
      if (*mode) args.push_back(mode);
      Outcome o = RunTool(sample.fs(), args);
      EXPECT_EQ(o.status, 1);
      EXPECT_NE(o.err.find("error 3045: Couldn't use the file; file already in use"),
                std::string::npos)
          << o.err;
      EXPECT_TRUE(sample.Unchanged());
      EXPECT_FALSE(sample.fs().FileExists(db::jet::WorkingCopy::CopyName(sample.path())));
    }
    // Reading goes on beside it.
    Outcome read = RunTool(sample.fs(), {sample.path(), "SELECT COUNT(*) FROM Table1"});
    EXPECT_EQ(read.status, 0) << read.err;
  }

  // Marked in use while it writes: a second writer is refused then. A
  // stale .ldb, left by a Jet that crashed, stops no one and goes with the
  // mark.
  sample.fs().WriteFileBytes(ldb, std::vector<uint8_t>(64, 'A'));
  SecondWriterAtReplace fs(sample.fs(), sample.path());
  Outcome first = RunTool(fs, {sample.path(), "UPDATE Table1 SET A = 'y'"});
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(fs.second.status, 1);
  EXPECT_NE(fs.second.err.find("error 3045"), std::string::npos) << fs.second.err;
  EXPECT_FALSE(sample.Unchanged());
  EXPECT_FALSE(sample.fs().FileExists(ldb));
}

}  // namespace
}  // namespace act::jetsql
