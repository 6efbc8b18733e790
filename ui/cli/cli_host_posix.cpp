#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "platform/error.h"
#include "ui/cli/cli_host.h"

namespace act {
namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

}  // namespace

std::string ExecutableFolder() {
  std::string exe = RealPath("/proc/self/exe");
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

void PrepareConsole() {}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int TerminalColumns(std::FILE* terminal) {
  winsize size{};
  if (ioctl(fileno(terminal), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

AppendFile OpenForAppending(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

void Append(AppendFile file, const char* text, size_t size) {
  // A regular file takes the whole of a write; a short one would be a full
  // disk, which a log has no better answer to.
  while (write(int(file), text, size) < 0 && errno == EINTR) {
  }
}

void Close(AppendFile file) { close(int(file)); }

namespace {

void (*interrupted)(const char*) = nullptr;

const char* SignalName(int number) {
  switch (number) {
    case SIGINT: return "SIGINT (Ctrl+C)";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP (se cerró el terminal)";
  }
}

void OnSignal(int number) {
  const int saved = errno;
  interrupted(SignalName(number));
  errno = saved;
  // The handler was reset to the default: the signal, blocked until the
  // handler returns, then ends the process as it would have.
  raise(number);
}

}  // namespace

void CatchInterruptions(void (*stopped)(const char* signal)) {
  interrupted = stopped;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, number);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the starter chose to ignore (nohup, a background job) stays
    // ignored.
    struct sigaction before {};
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

std::optional<uint64_t> PeakResidentBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
  return uint64_t(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

}  // namespace act
