// Windows paths on a posix host, resolved the way Wine resolves them: the
// drive letter through the prefix's dosdevices folder (each "x:" entry a
// symbolic link to the drive's root), then each existing path component
// matched without regard to letter case.
#pragma once

#include <string>
#include <vector>

#include "platform/file_names.h"

namespace act {

struct HostPath {
  std::string host;              // the path on this machine
  bool trailing_separator = false;  // the Windows path ended in a backslash
};

// The Wine-style prefix whose drives a posix program works on: prefix_dir,
// else $WINEPREFIX, else ~/.wine, as Wine itself chooses.
std::string WinePrefix(const std::string& prefix_dir);

class DriveMap {
 public:
  // prefix_dir, else $WINEPREFIX, else ~/.wine.
  explicit DriveMap(const std::string& prefix_dir);

  // Throws act::Error 76 (naming the path) for a path on a drive that is
  // not mapped or a path without drive, and 75 for a name that is not
  // spelt exactly as any entry and matches several without regard to case. A path that starts with '/' is a
  // host path already and comes back as it is.
  HostPath Resolve(const std::string& windows_path) const;

 private:
  std::string dosdevices_;
};

// The entries of a host folder whose names match `name` without regard to
// letter case, as they are spelt there.
std::vector<std::string> EntriesIgnoringCase(const std::string& folder, const std::string& name);

}  // namespace act
