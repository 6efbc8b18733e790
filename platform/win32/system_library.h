// DLLs of Windows's own, from the system folder only.
//
// The updater starts from removable media, which anyone may have written
// to. For a DLL loaded by name, Windows looks in the program's own folder
// first unless the name is on its list of known DLLs; a file named like
// such a DLL beside the program on the medium would be loaded instead, and
// would run inside the updater with its rights. So the programs import only
// known DLLs (kernel32, user32, gdi32, shell32, ole32, oleaut32, msvcrt),
// and reach every other one through this file, from the system folder.
#pragma once

#include <windows.h>

namespace act {

// Takes the program's folder and the current folder out of the search for
// every DLL loaded from now on, whether the program or one of Windows's own
// DLLs on its behalf asks for it. The first thing each program does.
void LoadLibrariesFromSystemFolderOnly();

// The DLL of that name in the system folder; null when it cannot be loaded
// (GetLastError says why). It stays loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of such a DLL as a pointer of type F; null when it is absent.
template <typename F>
F SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  if (!module) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace act
