// Our own reader of shell link (.lnk) files, for the builds that have no
// Windows shell: it gives the target path that the shell's
// IShellLink::GetPath (and the scripting shortcut's TargetPath) report.
//
// The file is read whole and every offset in it is checked against its
// size: a truncated or malformed file throws act::Error naming the file,
// whatever bytes it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace act::lnk {

// The parts of a link that can name its target, as UTF-8 texts; empty when
// the file does not carry them.
struct ShellLink {
  uint32_t flags = 0;
  std::string id_list_path;        // path spelled by the item id list
  std::string local_base_path;     // LinkInfo: path on a local volume
  std::string network_share;       // LinkInfo: \\server\share
  std::string common_path_suffix;  // LinkInfo: the rest of the path
  std::string relative_path;       // StringData
  std::string working_dir;
  std::string arguments;
};

// Parses the bytes of the file at `path` (the path is used in errors only).
ShellLink ParseShellLink(const std::vector<uint8_t>& bytes, const std::string& path);

// The target path as the shell reports it: the LinkInfo's local path with
// its suffix, else its network share with the suffix, else the path of the
// item id list, else the empty text.
std::string TargetPath(const ShellLink& link);

}  // namespace act::lnk
