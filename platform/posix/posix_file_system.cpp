// The file-system service on a posix host, with the observable behaviour of
// the scripting FileSystemObject on Windows (under Wine): Windows paths on
// Wine drives, the DOS read-only attribute as the absence of write
// permission, and the same error numbers for the same failures.
//
// The process may run as root, for whom the kernel grants every write, so
// the read-only rules are checked here rather than left to EACCES.
//
// Hidden and system attributes live in the "user.DOSATTRIB" extended
// attribute, in Wine's format ("0x" and the hex bits), so that Wine programs
// on the same drive see them; where the host file system has no extended
// attributes they are simply not kept. The archive attribute is reported for
// every file, as Wine reports it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/pe_version.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/mount_points.h"
#include "platform/posix/posix_file_lock.h"

namespace act {
namespace {

constexpr const char* kDosAttributeXattr = "user.DOSATTRIB";
constexpr uint32_t kStoredAttributes = kAttrHidden | kAttrSystem;
// Deeper than any Windows path can reach (MAX_PATH is 260 characters).
constexpr int kMaxTreeDepth = 128;

// How long after its last change a file's next write is sure to give it
// new times. A file system that keeps fractions of a second (ext4, xfs,
// btrfs, tmpfs) moves its times with every clock tick, a few milliseconds;
// one that keeps whole seconds, or FAT's two-second steps, needs longer.
constexpr int64_t kSettleFineNanoseconds = 100'000'000;
constexpr int64_t kSettleCoarseNanoseconds = 3'000'000'000;

int64_t Nanoseconds(const struct timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// The run-time error for an errno, for operations on an existing path.
int ErrorNumberFor(int error, int not_found = kErrPathNotFound) {
  switch (error) {
    case ENOENT: return not_found;
    case ENOTDIR: return kErrPathNotFound;
    case EEXIST: case ENOTEMPTY: return kErrFileAlreadyExists;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: case EBUSY:
      return kErrPermissionDenied;
    case ENOSPC: case EDQUOT: case EFBIG: return kErrDiskFull;
    case EMFILE: case ENFILE: return kErrTooManyFiles;
    case ENOMEM: return kErrOutOfMemory;
    case EIO: return kErrDeviceIO;
    case ENAMETOOLONG: return kErrBadFileNameOrNumber;
    default: return kErrPathFileAccess;
  }
}

[[noreturn]] void Fail(int error, const std::string& path, int not_found = kErrPathNotFound) {
  throw Error(ErrorNumberFor(error, not_found), path);
}

bool StatOf(const std::string& host, struct stat& st) { return stat(host.c_str(), &st) == 0; }

bool IsFolder(const std::string& host) {
  struct stat st;
  return StatOf(host, st) && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& host) {
  struct stat st;
  return StatOf(host, st) && !S_ISDIR(st.st_mode);
}

// A folder as the disk knows it, whatever path reached it.
struct Identity {
  dev_t device;
  ino_t inode;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

bool IsReadOnly(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

std::string ParentOf(const std::string& host) {
  size_t slash = host.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return host.substr(0, slash);
}

std::string LastName(const std::string& host) {
  size_t slash = host.find_last_of('/');
  return slash == std::string::npos ? host : host.substr(slash + 1);
}

// Windows texts for a child of a folder the caller named.
std::string JoinWindows(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + (folder.starts_with("/") ? "/" : "\\") + name;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, so that a failing close (delayed write error) is seen.
  int Close() {
    int result = close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Moves all bytes from one descriptor to the other, letting the kernel copy
// (copy_file_range, then sendfile) and falling back to a large buffer. Each
// call moves at most a block, and `written` hears of it, so that a progress
// display moves within a large file.
constexpr uint64_t kCopyBlock = 8 << 20;
void CopyBytes(int from, int to, uint64_t size, const std::string& destination,
               const std::function<void(uint64_t)>& written) {
  uint64_t done = 0;
  auto moved = [&](ssize_t n) {
    done += static_cast<uint64_t>(n);
    if (written) written(static_cast<uint64_t>(n));
  };
  bool kernel_copy = true;
  while (done < size && kernel_copy) {
    ssize_t n = copy_file_range(from, nullptr, to, nullptr, std::min(size - done, kCopyBlock), 0);
    if (n > 0) {
      moved(n);
    } else if (n == 0) {
      break;  // the source shrank under us
    } else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
      kernel_copy = false;
    } else if (errno != EINTR) {
      Fail(errno, destination);
    }
  }
  while (done < size) {
    off_t offset = static_cast<off_t>(done);
    ssize_t n = sendfile(to, from, &offset, std::min(size - done, kCopyBlock));
    if (n > 0) {
      moved(n);
      continue;
    }
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno != EINVAL && errno != ENOSYS) Fail(errno, destination);
    // Last resort: plain reads and writes.
    std::vector<char> buffer(1 << 20);
    if (lseek(from, offset, SEEK_SET) < 0) Fail(errno, destination);
    while (true) {
      ssize_t got = read(from, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) Fail(errno, destination);
      if (got == 0) return;
      for (ssize_t put = 0; put < got;) {
        ssize_t w = write(to, buffer.data() + put, static_cast<size_t>(got - put));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) Fail(errno, destination);
        put += w;
      }
      moved(got);
    }
  }
}

uint32_t StoredDosAttributes(const std::string& host) {
  char text[32] = {};
  ssize_t n = getxattr(host.c_str(), kDosAttributeXattr, text, sizeof(text) - 1);
  if (n <= 0) return 0;
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 16)) & kStoredAttributes;
}

void StoreDosAttributes(const std::string& host, uint32_t attributes) {
  attributes &= kStoredAttributes;
  if (attributes == 0) {
    removexattr(host.c_str(), kDosAttributeXattr);  // absent already is fine
    return;
  }
  char text[32];
  int n = std::snprintf(text, sizeof(text), "0x%x", attributes);
  // Best effort: a host file system without user attributes keeps none.
  setxattr(host.c_str(), kDosAttributeXattr, text, static_cast<size_t>(n), 0);
}

class PosixRandomAccessFile : public RandomAccessFile {
 public:
  PosixRandomAccessFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixRandomAccessFile() override { close(fd_); }

  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t got = pread(fd_, static_cast<char*>(buffer) + done, n - done,
                          static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) Fail(errno, path_);
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return done;
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t put = pwrite(fd_, static_cast<const char*>(data) + done, n - done,
                           static_cast<off_t>(offset + done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) Fail(errno, path_);
      done += static_cast<size_t>(put);
    }
  }
  uint64_t Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) Fail(errno, path_);
    return static_cast<uint64_t>(st.st_size);
  }
  void Truncate(uint64_t size) override {
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) Fail(errno, path_);
  }
  void Sync() override {
    if (fsync(fd_) != 0) Fail(errno, path_);
  }
  const std::string& path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem : public FileSystem {
 public:
  explicit PosixFileSystem(const std::string& prefix_dir) : drives_(prefix_dir) {}

  bool FolderExists(const std::string& path) override {
    std::optional<std::string> host = HostIfOnDrive(path);
    return host && IsFolder(*host);
  }

  bool FileExists(const std::string& path) override {
    std::optional<std::string> host = HostIfOnDrive(path);
    return host && IsFile(*host);
  }

  void CopyFile(const std::string& source, const std::string& destination,
                bool overwrite) override {
    std::string from = ExistingFile(source);
    std::string to = CopyTarget(from, destination);
    std::string to_windows = TargetText(source, destination);
    if (IsFolder(to)) throw Error(kErrPermissionDenied, to_windows);
    CopyOneFile(from, source, to, to_windows, overwrite);
  }

  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override {
    std::string from = ExistingFolder(source);
    std::string to = CopyTarget(from, destination);
    std::string to_windows = TargetText(source, destination);
    if (IsFile(to)) throw Error(kErrFileAlreadyExists, to_windows);
    // Copying a folder into itself would never end.
    std::string real_from = Real(from), real_to = Real(ParentOf(to)) + "/" + LastName(to);
    if (real_to == real_from || real_to.starts_with(real_from + "/")) {
      throw Error(kErrPermissionDenied, to_windows);
    }
    std::vector<Identity> walk;
    CopyTree(from, source, to, to_windows, overwrite, walk);
  }

  void MoveFile(const std::string& source, const std::string& destination) override {
    std::string from = ExistingFile(source);
    Move(from, destination, source);
  }

  void ReplaceFile(const std::string& replaced, const std::string& replacement) override {
    std::string old_file = ExistingFile(replaced), new_file = ExistingFile(replacement);
    if (ParentOf(old_file) != ParentOf(new_file)) throw Error(kErrPathFileAccess, replacement);
    // The name keeps what the replaced file had: its mode (read-only among
    // it), owner and DOS attributes. An owner that cannot be given (not
    // the superuser) leaves the new file the caller's, as Windows leaves
    // it when the security cannot be copied.
    struct stat st;
    if (!StatOf(old_file, st)) Fail(errno, replaced, kErrFileNotFound);
    if (chmod(new_file.c_str(), st.st_mode & 07777) != 0) Fail(errno, replacement);
    if (chown(new_file.c_str(), st.st_uid, st.st_gid) != 0 && errno != EPERM) {
      Fail(errno, replacement);
    }
    StoreDosAttributes(new_file, StoredDosAttributes(old_file));
    if (rename(new_file.c_str(), old_file.c_str()) != 0) Fail(errno, replaced);
    SyncPath(ParentOf(old_file), replaced);
  }

  void MoveFolder(const std::string& source, const std::string& destination) override {
    std::string from = ExistingFolder(source);
    std::string target = CopyTarget(from, destination);
    std::string real_from = Real(from), real_target = Real(ParentOf(target)) + "/" + LastName(target);
    if (real_target.starts_with(real_from + "/")) {
      throw Error(kErrPermissionDenied, TargetText(source, destination));
    }
    Move(from, destination, source);
  }

  void DeleteFile(const std::string& path, bool force) override {
    std::string host = ExistingFile(path);
    struct stat st;
    if (!StatOf(host, st)) Fail(errno, path, kErrFileNotFound);
    if (IsReadOnly(st.st_mode) && !force) throw Error(kErrPermissionDenied, path);
    if (unlink(host.c_str()) != 0) Fail(errno, path, kErrFileNotFound);
  }

  void DeleteFolder(const std::string& path, bool force) override {
    std::string host = ExistingFolder(path);
    // The whole tree is looked over first, so that a delete that cannot
    // finish changes nothing.
    CheckRemovable(host, path, force);
    RemoveTree(host, path, force);
  }

  void CreateFolder(const std::string& path) override {
    HostPath target = drives_.Resolve(path);
    struct stat st;
    if (lstat(target.host.c_str(), &st) == 0) throw Error(kErrFileAlreadyExists, path);
    if (!IsFolder(ParentOf(target.host))) throw Error(kErrPathNotFound, path);
    if (mkdir(target.host.c_str(), 0777) != 0) Fail(errno, path);
  }

  uint32_t GetAttributes(const std::string& path) override {
    std::string host = ExistingFile(path);
    struct stat st;
    if (!StatOf(host, st)) Fail(errno, path, kErrFileNotFound);
    uint32_t attributes = kAttrArchive;
    if (IsReadOnly(st.st_mode)) attributes |= kAttrReadOnly;
    return attributes | StoredDosAttributes(host);
  }

  void SetAttributes(const std::string& path, uint32_t attributes) override {
    std::string host = ExistingFile(path);
    struct stat st;
    if (!StatOf(host, st)) Fail(errno, path, kErrFileNotFound);
    mode_t mode = st.st_mode & 07777;
    // Writable as Wine makes a file writable: for the owner, and for those
    // who may read it.
    if (attributes & kAttrReadOnly) {
      mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if (IsReadOnly(mode)) {
      mode |= S_IWUSR | ((mode & S_IRGRP) ? S_IWGRP : 0);
    }
    if (mode != (st.st_mode & 07777) && chmod(host.c_str(), mode) != 0) Fail(errno, path);
    StoreDosAttributes(host, attributes);
  }

  std::string GetFileVersion(const std::string& path) override {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return ReadPeFileVersion(bytes);
  }

  std::vector<uint8_t> ReadFileBytes(const std::string& path) override {
    std::string host = ExistingFile(path);
    Fd fd(open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) Fail(errno, path, kErrFileNotFound);
    struct stat st;
    if (fstat(fd.get(), &st) != 0) Fail(errno, path);
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    uint8_t buffer[1 << 16];
    while (true) {
      ssize_t got = read(fd.get(), buffer, sizeof(buffer));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) Fail(errno, path);
      if (got == 0) break;
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }

  FileStamp GetFileStamp(const std::string& path) override {
    std::string host = ExistingFile(path);
    struct stat st;
    if (!StatOf(host, st)) Fail(errno, path, kErrFileNotFound);
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.modified = Nanoseconds(st.st_mtim);
    stamp.changed = Nanoseconds(st.st_ctim);
    stamp.file_id = static_cast<uint64_t>(st.st_ino);
    // The inode change time is the kernel's own, never set by anyone, and
    // it moves on every write: its fraction tells the file system's grain.
    int64_t settle = st.st_ctim.tv_nsec != 0 ? kSettleFineNanoseconds : kSettleCoarseNanoseconds;
    stamp.settled = Nanoseconds(now) - std::max(stamp.modified, stamp.changed) > settle;
    return stamp;
  }

  void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) override {
    std::string host = drives_.Resolve(path).host;
    struct stat st;
    if (StatOf(host, st)) {
      if (S_ISDIR(st.st_mode) || IsReadOnly(st.st_mode)) throw Error(kErrPermissionDenied, path);
    } else if (!IsFolder(ParentOf(host))) {
      throw Error(kErrPathNotFound, path);
    }
    Fd fd(open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0) Fail(errno, path);
    for (size_t done = 0; done < data.size();) {
      ssize_t put = write(fd.get(), data.data() + done, data.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) Fail(errno, path);
      done += static_cast<size_t>(put);
    }
    if (fd.Close() != 0) Fail(errno, path);
  }

  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override {
    std::string host = ExistingFile(path);
    struct stat st;
    if (!StatOf(host, st)) Fail(errno, path, kErrFileNotFound);
    if (writable && IsReadOnly(st.st_mode)) throw Error(kErrPermissionDenied, path);
    int fd = open(host.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) Fail(errno, path, kErrFileNotFound);
    return std::make_unique<PosixRandomAccessFile>(fd, path);
  }

  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override {
    std::string host = drives_.Resolve(path).host;
    if (!IsFolder(ParentOf(host))) throw Error(kErrPathNotFound, path);
    int fd = open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) Fail(errno, path);
    return std::make_unique<PosixRandomAccessFile>(fd, path);
  }

  void FlushFolder(const std::string& path) override {
    FlushTree(ExistingFolder(path), path);
  }

  std::unique_ptr<FileLock> LockFile(const std::string& path, uint64_t first_byte,
                                     uint64_t bytes) override {
    return LockHostFile(drives_.Resolve(path).host, path, first_byte, bytes);
  }

  std::vector<std::string> ListFolder(const std::string& path) override {
    return EntryNames(ExistingFolder(path), path);
  }

  std::optional<uint64_t> FreeSpace(const std::string& path) override {
    // The drive's root: the path itself need not exist yet.
    bool on_drive = path.size() >= 2 && path[1] == ':';
    std::string host = drives_.Resolve(on_drive ? path.substr(0, 2) + "\\" : path).host;
    struct statvfs st;
    if (statvfs(host.c_str(), &st) != 0) return std::nullopt;
    return uint64_t(st.f_bavail) * st.f_frsize;
  }

  std::optional<uint64_t> AllocationUnit(const std::string& path) override {
    bool on_drive = path.size() >= 2 && path[1] == ':';
    std::string host = drives_.Resolve(on_drive ? path.substr(0, 2) + "\\" : path).host;
    struct statvfs st;
    if (statvfs(host.c_str(), &st) != 0 || st.f_frsize == 0) return std::nullopt;
    return uint64_t(st.f_frsize);
  }

  void SetCopyProgress(std::function<void(const std::string&, uint64_t)> copied) override {
    copy_progress_ = std::move(copied);
  }

  bool IsSameOrInsideFolder(const std::string& path, const std::string& folder) override {
    try {
      struct stat outer, inner;
      std::string host = drives_.Resolve(path).host;
      const std::string folder_host = drives_.Resolve(folder).host;
      if (!StatOf(folder_host, outer) || !S_ISDIR(outer.st_mode) ||
          !StatOf(host, inner) || !S_ISDIR(inner.st_mode)) {
        return false;
      }
      // What is mounted inside the folder is inside it too, though its
      // own parents lead elsewhere: a drive bound onto a subfolder is
      // reached from the drive's letter without ever passing the folder.
      std::vector<Identity> within = {IdentityOf(outer)};
      for (const std::string& point : MountPointsInside(folder_host)) {
        struct stat mounted;
        if (StatOf(point, mounted)) within.push_back(IdentityOf(mounted));
      }
      // The ".." of a folder is its real parent, wherever links along the
      // path led; the root is its own parent.
      for (int depth = 0; depth <= kMaxTreeDepth; ++depth) {
        if (std::find(within.begin(), within.end(), IdentityOf(inner)) != within.end()) return true;
        struct stat parent;
        host += "/..";
        if (!StatOf(host, parent) || (parent.st_dev == inner.st_dev && parent.st_ino == inner.st_ino)) {
          return false;
        }
        inner = parent;
      }
    } catch (const Error&) {
      // A path on no drive names no folder.
    }
    return false;
  }

 private:
  // The names in a folder, less "." and ".."; `text` names it in errors.
  static std::vector<std::string> EntryNames(const std::string& host, const std::string& text) {
    DIR* dir = opendir(host.c_str());
    if (!dir) Fail(errno, text);
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
  }

  // fsync needs no write access: a read-only descriptor flushes the file's
  // data as well. Each folder is synced after its entries, so that the names
  // of the new files are durable too.
  static void FlushTree(const std::string& host, const std::string& windows) {
    // A link is no file of the folder's: what it leads to is left alone.
    for (const std::string& name : EntryNames(host, windows)) {
      std::string child = host + "/" + name, child_windows = JoinWindows(windows, name);
      struct stat st;
      if (lstat(child.c_str(), &st) != 0) Fail(errno, child_windows);
      if (S_ISDIR(st.st_mode)) {
        FlushTree(child, child_windows);
      } else if (S_ISREG(st.st_mode)) {
        SyncPath(child, child_windows);
      }
    }
    SyncPath(host, windows);
  }

  static void SyncPath(const std::string& host, const std::string& windows) {
    Fd fd(open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) Fail(errno, windows);
    if (fsync(fd.get()) != 0) Fail(errno, windows);
  }

  // A path on no drive names nothing; a name that could be several entries
  // is no answer either way, and fails.
  std::optional<std::string> HostIfOnDrive(const std::string& path) {
    try {
      return drives_.Resolve(path).host;
    } catch (const Error& e) {
      if (e.number() != kErrPathNotFound) throw;
      return std::nullopt;
    }
  }

  std::string ExistingFile(const std::string& path) {
    std::string host = drives_.Resolve(path).host;
    if (!IsFile(host)) throw Error(kErrFileNotFound, path);
    return host;
  }

  std::string ExistingFolder(const std::string& path) {
    std::string host = drives_.Resolve(path).host;
    if (!IsFolder(host)) throw Error(kErrPathNotFound, path);
    return host;
  }

  static std::string Real(const std::string& host) {
    char* real = realpath(host.c_str(), nullptr);
    std::string result = real ? real : host;
    std::free(real);
    return result;
  }

  // Where a copy or move of `source_host` to `destination` lands: inside
  // the destination folder when the destination ends in a backslash (the
  // folder must exist), else at the destination itself (its parent must
  // exist).
  std::string CopyTarget(const std::string& source_host, const std::string& destination) {
    HostPath to = drives_.Resolve(destination);
    if (to.trailing_separator) {
      if (!IsFolder(to.host)) throw Error(kErrPathNotFound, destination);
      return to.host + "/" + LastName(source_host);
    }
    if (!IsFolder(ParentOf(to.host))) throw Error(kErrPathNotFound, destination);
    return to.host;
  }

  static std::string TargetText(const std::string& source, const std::string& destination) {
    if (destination.empty() || (destination.back() != '\\' && destination.back() != '/')) {
      return destination;
    }
    size_t cut = source.find_last_of("\\/");
    std::string name = cut == std::string::npos ? source : source.substr(cut + 1);
    if (name.size() >= 2 && name[1] == ':' && cut == std::string::npos) name = name.substr(2);
    return destination + name;
  }

  void Move(const std::string& from, const std::string& destination, const std::string& source) {
    std::string target = CopyTarget(from, destination);
    std::string target_text = TargetText(source, destination);
    struct stat a, b;
    if (lstat(target.c_str(), &b) == 0) {
      // Renaming an entry to its own name in another letter case is allowed.
      bool same = lstat(from.c_str(), &a) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
      if (!same || drives_.Resolve(destination).trailing_separator) {
        throw Error(kErrFileAlreadyExists, target_text);
      }
      std::string literal = destination.substr(destination.find_last_of("\\/:") + 1);
      target = ParentOf(target) + "/" + literal;
    }
    // A move is a rename or nothing. Onto another file system (a disk
    // mounted on the way) it would be a copy and a delete, and a delete
    // stopped part-way leaves the folder whole in neither place; Windows
    // refuses such a move before it changes anything (MoveFileExW without
    // MOVEFILE_COPY_ALLOWED), and so does this one: EXDEV gives 75, as
    // ERROR_NOT_SAME_DEVICE does.
    if (rename(from.c_str(), target.c_str()) != 0) Fail(errno, target_text);
    // A rename lives in the folders' entries, which the kernel writes back
    // when it likes; until then a power cut can undo it. Both folders go to
    // the disk now.
    SyncPath(ParentOf(target), target_text);
    if (ParentOf(from) != ParentOf(target)) SyncPath(ParentOf(from), source);
  }

  // Copies one file over whatever is there, keeping its read-only state and
  // modification time as CopyFile does on Windows.
  void CopyOneFile(const std::string& from, const std::string& from_text, const std::string& to,
                   const std::string& to_text, bool overwrite) {
    Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) Fail(errno, from_text, kErrFileNotFound);
    struct stat source;
    if (fstat(in.get(), &source) != 0) Fail(errno, from_text);
    struct stat existing;
    if (stat(to.c_str(), &existing) == 0) {
      // Copying a file onto itself would truncate it before reading it.
      if (existing.st_ino == source.st_ino && existing.st_dev == source.st_dev) {
        throw Error(kErrPermissionDenied, to_text);
      }
      if (!overwrite) throw Error(kErrFileAlreadyExists, to_text);
      if (S_ISDIR(existing.st_mode) || IsReadOnly(existing.st_mode)) {
        throw Error(kErrPermissionDenied, to_text);
      }
    }
    Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.get() < 0) Fail(errno, to_text);
    std::function<void(uint64_t)> written;
    if (copy_progress_) written = [&](uint64_t bytes) { copy_progress_(to_text, bytes); };
    CopyBytes(in.get(), out.get(), static_cast<uint64_t>(source.st_size), to_text, written);
    struct timespec times[2] = {source.st_atim, source.st_mtim};
    futimens(out.get(), times);
    mode_t mode = (source.st_mode & 0777) | S_IRUSR;
    if (!IsReadOnly(source.st_mode)) mode |= S_IWUSR;
    if (fchmod(out.get(), mode) != 0) Fail(errno, to_text);
    if (out.Close() != 0) Fail(errno, to_text);
    uint32_t stored = StoredDosAttributes(from);
    if (stored) StoreDosAttributes(to, stored);
  }

  // `walk` holds the folders the copy came through to reach `from`.
  void CopyTree(const std::string& from, const std::string& from_text, const std::string& to,
                const std::string& to_text, bool overwrite, std::vector<Identity>& walk) {
    // Links are followed, as Wine follows them; a link back to a folder the
    // copy came through would make it endless, and fails instead.
    struct stat self;
    if (!StatOf(from, self)) Fail(errno, from_text);
    if (walk.size() > size_t(kMaxTreeDepth) ||
        std::find(walk.begin(), walk.end(), IdentityOf(self)) != walk.end()) {
      throw Error(kErrPathFileAccess, from_text + " (a link there leads back into the folders above it)");
    }
    walk.push_back(IdentityOf(self));
    // Merging into an existing folder: an entry there that differs only in
    // letter case is the same entry on Windows. One listing serves all.
    std::map<std::u16string, std::string> present;
    if (IsFolder(to)) {
      DIR* existing = opendir(to.c_str());
      if (!existing) Fail(errno, to_text);
      while (dirent* entry = readdir(existing)) {
        std::string name = entry->d_name;
        auto [at, added] = present.emplace(FoldFileName(name), name);
        if (!added && name < at->second) at->second = name;
      }
      closedir(existing);
    } else if (mkdir(to.c_str(), 0777) != 0) {
      Fail(errno, to_text);
    }
    DIR* dir = opendir(from.c_str());
    if (!dir) Fail(errno, from_text);
    std::vector<std::pair<std::string, bool>> entries;
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      bool folder = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) folder = IsFolder(from + "/" + name);
      entries.emplace_back(std::move(name), folder);
    }
    closedir(dir);
    for (const auto& [name, folder] : entries) {
      std::string target_name = name;
      if (!present.empty()) {
        auto match = present.find(FoldFileName(name));
        struct stat st;
        if (match != present.end() && lstat((to + "/" + name).c_str(), &st) != 0) {
          target_name = match->second;
        }
      }
      std::string child_from = from + "/" + name, child_to = to + "/" + target_name;
      std::string child_from_text = JoinWindows(from_text, name);
      std::string child_to_text = JoinWindows(to_text, name);
      if (folder) {
        if (IsFile(child_to)) throw Error(kErrFileAlreadyExists, child_to_text);
        CopyTree(child_from, child_from_text, child_to, child_to_text, overwrite, walk);
      } else {
        if (IsFolder(child_to)) throw Error(kErrPermissionDenied, child_to_text);
        CopyOneFile(child_from, child_from_text, child_to, child_to_text, overwrite);
      }
    }
    walk.pop_back();
  }

  // Throws, naming it, for the first path in the tree that the delete may
  // not remove: a file system mounted there (a second disk, or a bind mount
  // of the customer's music) holds files that are not the folder's, and
  // its mount point cannot go anyway; without force, a read-only file.
  // Links are not followed, as the delete does not follow them.
  static void CheckRemovable(const std::string& host, const std::string& text, bool force) {
    struct stat st, parent;
    if (lstat(host.c_str(), &st) != 0) Fail(errno, text);
    if (S_ISLNK(st.st_mode)) return;
    if (!StatOf(host + "/..", parent)) Fail(errno, text);
    CheckRemovable(host, text, force, st, parent.st_dev);
  }
  static void CheckRemovable(const std::string& host, const std::string& text, bool force,
                             const struct stat& st, dev_t parent_device) {
    if (!S_ISDIR(st.st_mode)) {
      if (!force && IsReadOnly(st.st_mode)) throw Error(kErrPermissionDenied, text);
      return;
    }
    if (st.st_dev != parent_device || IsMountRoot(host)) {
      throw Error(kErrPermissionDenied, text + " (another file system is mounted there)");
    }
    for (const std::string& name : EntryNames(host, text)) {
      std::string child = host + "/" + name, child_text = JoinWindows(text, name);
      struct stat child_st;
      if (lstat(child.c_str(), &child_st) != 0) Fail(errno, child_text);
      if (!S_ISLNK(child_st.st_mode)) CheckRemovable(child, child_text, force, child_st, st.st_dev);
    }
  }

  // A link goes as a link, the folder itself too when it is one: what a
  // link leads to may be the customer's own, outside the product.
  void RemoveTree(const std::string& host, const std::string& text, bool force) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) Fail(errno, text);
    if (S_ISLNK(st.st_mode)) {
      if (unlink(host.c_str()) != 0) Fail(errno, text);
      return;
    }
    // Folders carry no DOS read-only meaning; make sure their entries can go.
    if ((st.st_mode & S_IWUSR) == 0) chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR | S_IXUSR);
    for (const std::string& name : EntryNames(host, text)) {
      std::string child = host + "/" + name, child_text = JoinWindows(text, name);
      struct stat child_st;
      if (lstat(child.c_str(), &child_st) != 0) Fail(errno, child_text);
      if (S_ISDIR(child_st.st_mode)) {
        // Never into another file system, should one be mounted since the
        // tree was looked over.
        if (child_st.st_dev != st.st_dev) throw Error(kErrPermissionDenied, child_text);
        RemoveTree(child, child_text, force);
      } else {
        if (!S_ISLNK(child_st.st_mode) && IsReadOnly(child_st.st_mode) && !force) {
          throw Error(kErrPermissionDenied, child_text);
        }
        if (unlink(child.c_str()) != 0) Fail(errno, child_text);
      }
    }
    if (rmdir(host.c_str()) != 0) Fail(errno, text);
  }

  DriveMap drives_;
  std::function<void(const std::string&, uint64_t)> copy_progress_;
};

}  // namespace

std::unique_ptr<FileSystem> NewPlatformFileSystem(const std::string& prefix_dir) {
  return std::make_unique<PosixFileSystem>(prefix_dir);
}

}  // namespace act
