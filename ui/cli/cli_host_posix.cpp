#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <cctype>

#include "ui/cli/cli_host.h"

namespace act {
namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string DefaultPrefix() {
  if (const char* env = std::getenv("WINEPREFIX"); env && *env) return env;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.wine";
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ExecutableFolder() {
  std::string exe = RealPath("/proc/self/exe");
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

void PrepareConsole() {}

std::string OriginAsDrivePath(const std::string& origin, const std::string& drive,
                              const std::string& prefix) {
  if (origin.empty() || origin[0] != '/' || drive.size() < 2) return origin;
  std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(drive[0]))));
  std::string root =
      RealPath((prefix.empty() ? DefaultPrefix() : prefix) + "/dosdevices/" + letter + ":");
  std::string folder = RealPath(origin);
  if (root.empty() || folder.empty()) return origin;
  if (folder == root) return drive.substr(0, 2) + "\\";
  if (folder.rfind(root + "/", 0) != 0) return origin;
  std::string rest = folder.substr(root.size());
  for (char& c : rest)
    if (c == '/') c = '\\';
  return drive.substr(0, 2) + rest;
}

}  // namespace act
