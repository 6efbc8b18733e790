#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <cctype>

#include "platform/error.h"
#include "platform/posix/drive_map.h"
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

std::FILE* OpenForAppending(const std::string& path) { return std::fopen(path.c_str(), "a"); }

std::string OriginAsDrivePath(const std::string& origin, const std::string& drive,
                              const std::string& prefix) {
  if (origin.empty() || origin[0] != '/') return origin;
  std::string folder = RealPath(origin);
  if (folder.empty()) throw Error(kErrPathNotFound, origin);
  const std::string dosdevices = WinePrefix(prefix) + "/dosdevices/";

  // The drive whose root holds the folder most closely; the target drive
  // first, so that its own root is recognised as such.
  std::string letters = "abcdefghijklmnopqrstuvwxyz";
  if (!drive.empty() && std::isalpha(static_cast<unsigned char>(drive[0])))
    letters.insert(0, 1, static_cast<char>(std::tolower(static_cast<unsigned char>(drive[0]))));
  std::string best_letter, best_root;
  for (char letter : letters) {
    std::string root = RealPath(dosdevices + letter + ":");
    if (root.empty()) continue;
    bool holds = folder == root || root == "/" || folder.rfind(root + "/", 0) == 0;
    if (holds && root.size() > best_root.size()) best_letter = letter, best_root = root;
  }
  // The run joins Windows paths to the folder, which only a drive path takes.
  if (best_letter.empty())
    throw Error(kErrPathNotFound, origin + " lies on no drive of the prefix " + dosdevices);
  std::string rest = folder.substr(best_root == "/" ? 0 : best_root.size());
  for (char& c : rest)
    if (c == '/') c = '\\';
  return best_letter + ":" + (rest.empty() ? "\\" : rest);
}

}  // namespace act
