#include "platform/posix/drive_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/error.h"

namespace act {
namespace {

bool Exists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

}  // namespace

std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return "";
  std::u16string wanted = FoldFileName(name);
  std::string best;
  while (dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    // Several host names can fold alike; take the lowest for a stable answer.
    if (FoldFileName(candidate) == wanted && (best.empty() || candidate < best)) best = candidate;
  }
  closedir(dir);
  return best;
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
    if (exists && !Exists(out.host + "/" + part)) {
      std::string match = FindEntryIgnoringCase(out.host, part);
      if (match.empty()) {
        exists = false;  // the rest cannot exist either: keep it as written
      } else {
        name = match;
      }
    }
    out.host += "/" + name;
  }
  return out;
}

}  // namespace act
