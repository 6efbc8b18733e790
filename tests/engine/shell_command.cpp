#include "shell_command.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace act::test {

intptr_t StartShellCommand(const std::string& command) {
#ifdef _WIN32
  // As std::system does: cmd /c, which drops the outer pair of quotes.
  const std::string line = "cmd.exe /c \"" + command + "\"";
  std::wstring wide(line.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), int(wide.size())));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    throw std::runtime_error("cannot start " + line);
  CloseHandle(info.hThread);
  return reinterpret_cast<intptr_t>(info.hProcess);
#else
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ))
    throw std::runtime_error("cannot start " + command);
  return pid;
#endif
}

int WaitShellCommand(intptr_t started) {
#ifdef _WIN32
  HANDLE process = reinterpret_cast<HANDLE>(started);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return int(code);
#else
  int raw = 0;
  waitpid(pid_t(started), &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}

}  // namespace act::test
