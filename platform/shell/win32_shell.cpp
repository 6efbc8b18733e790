// The Windows shell: shell32's special-folder functions and the shell's own
// shortcut object (IShellLinkW, the object behind the scripting shortcut's
// TargetPath).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/shell/shell.h"
#include "platform/win32/win32_errors.h"

namespace act {
namespace {

// The owner window that the discovery has always passed. shell32 only uses
// the owner for dialogs that SHGetSpecialFolderLocation never shows, so the
// value, which is no window, does no harm.
const HWND kOwnerWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(100));
constexpr int kFolderBufferSize = 512;

// Text of the "A" functions, in the system's ANSI code page.
std::string AnsiToUtf8(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return Narrow(wide);
}

class Win32Shell : public Shell {
 public:
  Win32Shell() : com_(CoInitialize(nullptr)) {}
  ~Win32Shell() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }

  std::string SpecialFolderPath(int csidl) override {
    LPITEMIDLIST list = nullptr;
    if (SHGetSpecialFolderLocation(kOwnerWindow, csidl, &list) != S_OK) return "";
    // A buffer of blanks, as the path is read up to its first code 0: should
    // the shell write nothing, the blanks are the result.
    std::string buffer(kFolderBufferSize, ' ');
    buffer.push_back('\0');
    SHGetPathFromIDListA(list, buffer.data());
    CoTaskMemFree(list);
    buffer.resize(buffer.find('\0'));
    return AnsiToUtf8(buffer);
  }

  std::string ShortcutTarget(const std::string& path) override {
    std::wstring wide_path = Wide(path);
    DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "";

    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) throw Error(429, "ActiveX component can't create object", "shell link object");
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
      hr = file->Load(wide_path.c_str(), STGM_READ);
      file->Release();
    }
    wchar_t target[MAX_PATH + 1] = L"";
    if (SUCCEEDED(hr)) hr = link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->Release();
    if (FAILED(hr)) {
      if (hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) ||
          hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION))
        throw Error(kErrPermissionDenied, path);
      throw Error(kErrBadFileNameOrNumber, "Bad file name or number",
                  "not a valid shortcut: " + path);
    }
    return Narrow(target);
  }

  std::vector<std::string> Drives() override {
    wchar_t buffer[26 * 4 + 1] = L"";
    DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer) - 1), buffer);
    std::vector<std::string> drives;
    for (const wchar_t* root = buffer; root < buffer + n && *root; root += wcslen(root) + 1) {
      std::string text = Narrow(root);
      text[0] = static_cast<char>(tolower(static_cast<unsigned char>(text[0])));
      drives.push_back(text);
    }
    std::sort(drives.begin(), drives.end());
    return drives;
  }

  std::string DriveLabel(const std::string& root) override {
    // Only fixed disks: asking a removable or CD drive without a medium in
    // it would make the system ask the operator for one.
    std::wstring wide_root = Wide(root);
    if (GetDriveTypeW(wide_root.c_str()) != DRIVE_FIXED) return "";
    wchar_t label[MAX_PATH + 1] = L"";
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    BOOL ok = GetVolumeInformationW(wide_root.c_str(), label, MAX_PATH, nullptr, nullptr, nullptr,
                                    nullptr, 0);
    SetErrorMode(old_mode);
    return ok ? Narrow(label) : "";
  }

 private:
  HRESULT com_;
};

}  // namespace

std::unique_ptr<Shell> NewPlatformShell(FileSystem&, const std::string&) {
  return std::make_unique<Win32Shell>();
}

}  // namespace act
