// The profile functions on Windows: kernel32's ANSI functions, called the
// way the product's own routines call them, with the texts crossing in the
// ANSI code page (Windows-1252).
#include <windows.h>

#include <set>
#include <string>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/profile_store.h"
#include "platform/win32/win32_errors.h"

namespace act {
namespace {

constexpr DWORD kValueBufferSize = 255;

// kernel32 answers for a file it cannot open as for an empty one, whatever
// kept it from the file. Only a missing file may answer so (a folder in its
// place is no file either); for any other reason, such as another program
// holding the file locked, this throws the reason with the file.
void RequireReadableUnlessMissing(const std::string& path) {
  const std::wstring wide = Wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return;
  }
  const DWORD code = GetLastError();
  const int number = ErrorNumberForWin32(code, kErrFileNotFound);
  if (number == kErrFileNotFound || number == kErrPathNotFound) return;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  ThrowWin32Error(code, path, kErrFileNotFound);
}

class Win32ProfileStore : public ProfileStore {
 public:
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& path) override {
    char buffer[kValueBufferSize] = {};
    GetPrivateProfileStringA(Utf8ToCp1252(section).c_str(), Utf8ToCp1252(key).c_str(), "", buffer,
                             kValueBufferSize, Utf8ToCp1252(path).c_str());
    if (buffer[0] == '\0') RequireReadableUnlessMissing(path);
    return Cp1252ToUtf8(buffer);
  }

  bool Write(const std::string& section, const std::string& key, const std::string& value,
             const std::string& path) override {
    // Windows refuses a read-only file here by itself; Wine run by the
    // superuser would write into it.
    DWORD attributes = GetFileAttributesA(Utf8ToCp1252(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    std::string file = Utf8ToCp1252(path);
    if (!WritePrivateProfileStringA(Utf8ToCp1252(section).c_str(), Utf8ToCp1252(key).c_str(),
                                    Utf8ToCp1252(value).c_str(), file.c_str())) {
      RequireReadableUnlessMissing(path);
      return false;
    }
    written_.insert(file);
    return true;
  }

  void Flush() override {
    // Null section, key and value ask kernel32 to write out what it still
    // holds of the file. It answers FALSE whatever happened, so there is
    // nothing to check: each write was already reported by its own call.
    for (const std::string& file : written_) {
      WritePrivateProfileStringA(NULL, NULL, NULL, file.c_str());
    }
    written_.clear();
  }

 private:
  std::set<std::string> written_;  // files written since the last Flush
};

}  // namespace

std::unique_ptr<ProfileStore> NewPlatformProfileStore(FileSystem&) {
  return std::make_unique<Win32ProfileStore>();
}

}  // namespace act
