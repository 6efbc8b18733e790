// GetLastError codes as the run-time error numbers the operator knows.
#pragma once

#include <windows.h>

#include <string>

namespace act {

// not_found is the number for ERROR_FILE_NOT_FOUND, which depends on whether
// the caller was after a file (53) or a folder (76).
int ErrorNumberForWin32(DWORD code, int not_found);

[[noreturn]] void ThrowWin32Error(DWORD code, const std::string& path, int not_found);

// UTF-8 program text as the wide text of the W functions, and back.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace act
