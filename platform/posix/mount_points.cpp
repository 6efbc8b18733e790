#include "platform/posix/mount_points.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace act {
namespace {

// The kernel writes blanks, tabs, newlines and backslashes in mount points
// as three octal digits after a backslash.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 3).c_str(), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool IsMountRoot(const std::string& host) {
  struct statx sx;
  if (statx(AT_FDCWD, host.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &sx) == 0 &&
      (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
    return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  }
  // An older kernel: another file system shows as another device than the
  // parent's (a bind mount of the same one then goes unseen).
  struct stat self, parent;
  if (lstat(host.c_str(), &self) != 0 || S_ISLNK(self.st_mode)) return false;
  if (stat((host + "/..").c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev ||
         (self.st_ino == parent.st_ino && self.st_dev == parent.st_dev);
}

std::vector<std::string> MountPointsInside(const std::string& host_folder) {
  std::vector<std::string> inside;
  char* real = realpath(host_folder.c_str(), nullptr);
  if (!real) return inside;
  std::string prefix = real;
  std::free(real);
  if (prefix.back() != '/') prefix += '/';
  std::ifstream table("/proc/self/mountinfo");
  for (std::string line; std::getline(table, line);) {
    // mount id, parent id, major:minor, root, mount point, ...
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    if (!(fields >> id >> parent >> device >> root >> point)) continue;
    point = Unescaped(point);
    if (point.size() > prefix.size() && point.compare(0, prefix.size(), prefix) == 0) {
      inside.push_back(point);
    }
  }
  return inside;
}

}  // namespace act
