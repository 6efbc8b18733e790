#include "platform/win32/win32_errors.h"

#include "platform/cp1252.h"
#include "platform/error.h"

namespace act {

int ErrorNumberForWin32(DWORD code, int not_found) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return not_found;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return kErrPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
      return kErrPermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return kErrFileAlreadyExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kErrDiskFull;
    case ERROR_TOO_MANY_OPEN_FILES: return kErrTooManyFiles;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return kErrOutOfMemory;
    case ERROR_NOT_READY: return kErrDiskNotReady;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return kErrBadFileNameOrNumber;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return kErrDeviceIO;
    case ERROR_DEV_NOT_EXIST: return kErrDeviceUnavailable;
    default: return kErrPathFileAccess;
  }
}

void ThrowWin32Error(DWORD code, const std::string& path, int not_found) {
  throw Error(ErrorNumberForWin32(code, not_found), path);
}

std::wstring Wide(const std::string& utf8) {
  std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace act
