// An open-file-description lock on a range of the file's bytes. It conflicts with
// the classic record locks that wineserver places for LockFileEx on the
// same byte, so a Windows build run under Wine and this build exclude each
// other; unlike a classic lock it belongs to this open file alone, so that
// closing some other descriptor of the file in this process cannot drop
// it, and two opens within one process exclude each other as two
// processes do. The kernel drops it when the process ends.
#include "platform/posix/posix_file_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"

namespace act {
namespace {

bool SameFile(int fd, const std::string& host) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && stat(host.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

class PosixFileLock : public FileLock {
 public:
  PosixFileLock(int fd, std::string host) : fd_(fd), host_(std::move(host)) {}
  // Removed while still held: whoever opened it meanwhile finds, once it
  // has the lock, that the name no longer leads to its file, and starts
  // again on a new one.
  ~PosixFileLock() override {
    if (SameFile(fd_, host_)) unlink(host_.c_str());
    close(fd_);
  }

 private:
  int fd_;
  std::string host_;
};

int LockErrorNumber(int error) {
  switch (error) {
    case ENOENT: case ENOTDIR: return kErrPathNotFound;
    case EACCES: case EPERM: case EROFS: case EISDIR: return kErrPermissionDenied;
    case ENOSPC: case EDQUOT: return kErrDiskFull;
    default: return kErrPathFileAccess;
  }
}

}  // namespace

std::unique_ptr<FileLock> LockHostFile(const std::string& host, const std::string& path,
                                       uint64_t first_byte, uint64_t bytes) {
  // A few rounds at most: each lost one means another holder removed the
  // file between our open and our lock.
  for (int round = 0; round < 16; ++round) {
    int fd = open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw Error(LockErrorNumber(errno), path);
    struct flock byte = {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = off_t(first_byte);
    byte.l_len = off_t(bytes);
    if (fcntl(fd, F_OFD_SETLK, &byte) != 0) {
      const int error = errno;
      close(fd);
      if (error == EAGAIN || error == EACCES) return nullptr;
      throw Error(LockErrorNumber(error), path);
    }
    if (SameFile(fd, host)) return std::make_unique<PosixFileLock>(fd, host);
    close(fd);
  }
  throw Error(kErrPermissionDenied, path);
}

}  // namespace act
