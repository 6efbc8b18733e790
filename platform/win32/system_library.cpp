#include "platform/win32/system_library.h"

#include <string>

namespace act {
namespace {

// Whether SetDefaultDllDirectories took, so that LoadLibraryExW knows the
// system folder by its flag.
bool search_flags_known = false;

template <typename F>
F Kernel32Function(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

void LoadLibrariesFromSystemFolderOnly() {
  // Windows 8 and later, and Vista and 7 with update KB2533623; looked up
  // at run time, as the program also starts on systems without it.
  auto set_default_directories =
      Kernel32Function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
  if (set_default_directories && set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    search_flags_known = true;
    return;
  }
  // Older systems (XP SP1 and later) can only take the current folder out
  // of the search. The program's folder stays first in it, which is why
  // LoadSystemLibrary then names the system folder in full.
  auto set_dll_directory = Kernel32Function<BOOL(WINAPI*)(LPCWSTR)>("SetDllDirectoryW");
  if (set_dll_directory) set_dll_directory(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (search_flags_known) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, n) + L"\\" + name;
  // The altered search looks for the DLL's own imports beside it, in the
  // system folder, rather than beside the program.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace act
