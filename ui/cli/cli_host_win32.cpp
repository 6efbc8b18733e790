#include <windows.h>

#include "platform/win32/win32_errors.h"
#include "ui/cli/cli_host.h"

namespace act {

std::string ExecutableFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  path[n] = L'\0';
  std::string folder = Narrow(path);
  size_t slash = folder.rfind('\\');
  if (slash == std::string::npos) return folder;
  // A drive root keeps its backslash: "e:\".
  if (slash == 2 && folder[1] == ':') return folder.substr(0, 3);
  return folder.substr(0, slash);
}

void PrepareConsole() {
  // The program writes UTF-8 bytes; a console must be told to show them so.
  // Redirected output receives the bytes unchanged.
  SetConsoleOutputCP(CP_UTF8);
}

bool StandardErrorIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::FILE* OpenForAppending(const std::string& path) {
  // Text mode: lines end in CRLF, as Windows tools expect.
  return _wfopen(Wide(path).c_str(), L"a");
}

std::string OriginAsDrivePath(const std::string& origin, const std::string&,
                              const std::string&) {
  return origin;
}

}  // namespace act
