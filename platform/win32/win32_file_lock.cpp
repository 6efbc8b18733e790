// A LockFileEx lock on a range of the file's bytes. Under Wine, wineserver backs
// it with a record lock on the host file, which the posix build's lock on
// the same byte conflicts with; share modes would not do, since Wine keeps
// them to itself. The file is opened sharing everything, so that the
// holder can remove it while others hold it open, and so that an open never
// fails merely because another run has the file.
#include <windows.h>

#include "platform/error.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_file_lock.h"

namespace act {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameFile(HANDLE held, const std::wstring& path) {
  HANDLE named = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  bool same = GetFileInformationByHandle(held, &a) && GetFileInformationByHandle(named, &b) &&
              a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
              a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
}

class Win32FileLock : public FileLock {
 public:
  Win32FileLock(HANDLE handle, std::wstring path) : handle_(handle), path_(std::move(path)) {}
  // Removed while still held, as on posix: a later holder that opened it
  // meanwhile sees that the name no longer leads to its file.
  ~Win32FileLock() override {
    if (SameFile(handle_, path_)) DeleteFileW(path_.c_str());
    CloseHandle(handle_);
  }

 private:
  HANDLE handle_;
  std::wstring path_;
};

}  // namespace

std::unique_ptr<FileLock> LockWindowsFile(const std::string& path, uint64_t first_byte,
                                          uint64_t bytes) {
  const std::wstring wide = Wide(path);
  for (int round = 0; round < 50; ++round) {
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return nullptr;
      // A file whose removal waits for its last handle to close refuses to
      // open for a moment.
      if (code == ERROR_ACCESS_DENIED && round < 49) {
        Sleep(10);
        continue;
      }
      ThrowWin32Error(code, path, kErrPathNotFound);
    }
    OVERLAPPED range = {};
    range.Offset = DWORD(first_byte);
    range.OffsetHigh = DWORD(first_byte >> 32);
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, DWORD(bytes),
                    DWORD(bytes >> 32), &range)) {
      const DWORD code = GetLastError();
      CloseHandle(h);
      if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return nullptr;
      ThrowWin32Error(code, path, kErrPathNotFound);
    }
    if (SameFile(h, wide)) return std::make_unique<Win32FileLock>(h, wide);
    CloseHandle(h);
  }
  throw Error(kErrPermissionDenied, path);
}

}  // namespace act
