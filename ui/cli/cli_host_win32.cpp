#include <windows.h>

#include <io.h>
#include <psapi.h>

#include "platform/win32/system_library.h"
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

int TerminalColumns(std::FILE* terminal) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(terminal)));
  if (!GetConsoleScreenBufferInfo(console, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

AppendFile OpenForAppending(const std::string& path) {
  // Append-only access: every write goes to the end of the file, whole.
  // Others may read the log while the run writes it.
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<AppendFile>(file);
}

void Append(AppendFile file, const char* text, size_t size) {
  DWORD written;
  WriteFile(reinterpret_cast<HANDLE>(file), text, DWORD(size), &written, nullptr);
}

void Close(AppendFile file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

namespace {

void (*interrupted)(const char*) = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const char* name = event == CTRL_C_EVENT       ? "Ctrl+C"
                     : event == CTRL_BREAK_EVENT ? "Ctrl+Break"
                     : event == CTRL_CLOSE_EVENT ? "cierre de la consola"
                                                 : nullptr;
  if (!name) return FALSE;
  interrupted(name);
  // What the default handler would do, without ExitProcess's clean-up: the
  // run's thread stops wherever it is, maybe holding a lock of the C
  // library that the clean-up would wait for.
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

}  // namespace

void CatchInterruptions(void (*stopped)(const char* signal)) {
  interrupted = stopped;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::optional<uint64_t> PeakResidentBytes() {
  // psapi is no known DLL: from the system folder only.
  using Query = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
  auto query = SystemFunction<Query>(L"psapi.dll", "GetProcessMemoryInfo");
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!query || !query(GetCurrentProcess(), &counters, sizeof counters)) return std::nullopt;
  return uint64_t(counters.PeakWorkingSetSize);
}

}  // namespace act
