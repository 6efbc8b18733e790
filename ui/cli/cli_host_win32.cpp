#include <windows.h>

#include <shellapi.h>

#include "platform/win32/win32_errors.h"
#include "ui/cli/cli_host.h"

namespace act {
namespace {

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  // main's argv is in the ANSI code page; the wide command line keeps every
  // character of a folder name.
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

std::string ExecutableFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  path[n] = L'\0';
  std::string folder = Utf8(path);
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
