#include "platform/posix/drive_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"

namespace act {
namespace {

bool Exists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

}  // namespace

std::vector<std::string> EntriesIgnoringCase(const std::string& folder, const std::string& name) {
  std::vector<std::string> matches;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return matches;
  std::u16string wanted = FoldFileName(name);
  while (dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (FoldFileName(candidate) == wanted) matches.push_back(candidate);
  }
  closedir(dir);
  return matches;
}

std::string WinePrefix(const std::string& prefix_dir) {
  if (!prefix_dir.empty()) return prefix_dir;
  if (const char* env = std::getenv("WINEPREFIX"); env && *env) return env;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.wine";
}

DriveMap::DriveMap(const std::string& prefix_dir)
    : dosdevices_(WinePrefix(prefix_dir) + "/dosdevices/") {}

HostPath DriveMap::Resolve(const std::string& path) const {
  HostPath out;
  if (!path.empty() && path[0] == '/') {
    out.host = path;
    out.trailing_separator = path.size() > 1 && path.back() == '/';
    return out;
  }
  char letter = path.size() >= 2 && path[1] == ':' ? path[0] : 0;
  if (letter >= 'A' && letter <= 'Z') letter += 'a' - 'A';
  if (letter < 'a' || letter > 'z') throw Error(kErrPathNotFound, path);

  // The drive's root is where its dosdevices link leads; a drive without
  // one is not mapped.
  std::string root = dosdevices_ + letter + ":";
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw Error(kErrPathNotFound, path);

  // Split the rest into components. "c:skins" is relative to the drive's
  // current folder, which for this program is always the root.
  const std::vector<std::string> parts = PathNames(std::string_view(path).substr(2));
  out.trailing_separator = path.size() > 2 && IsPathSeparator(path.back());

  out.host = root;
  bool exists = true;
  for (const std::string& part : parts) {
    std::string name = part;
    // The exact spelling wins; otherwise the one entry that differs only in
    // letter case. A case-sensitive host folder can hold several, and then
    // which one is meant cannot be told: taking either could hand the run
    // a folder that is not the one it works on.
    if (exists && !Exists(out.host + "/" + part)) {
      std::vector<std::string> matches = EntriesIgnoringCase(out.host, part);
      if (matches.empty()) {
        exists = false;  // the rest cannot exist either: keep it as written
      } else if (matches.size() > 1) {
        throw Error(kErrPathFileAccess, path + " (" + matches[0] + " and " + matches[1] +
                                            " differ only in letter case)");
      } else {
        name = matches[0];
      }
    }
    out.host += "/" + name;
  }
  return out;
}

std::string DrivePathOf(const std::string& origin, const std::string& drive,
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
