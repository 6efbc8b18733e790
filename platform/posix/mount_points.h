// Where other file systems are mounted on this host. A Windows folder holds
// only its own files; on a posix host a folder can also be where a second
// disk, a memory file system or another folder (a bind mount) is mounted,
// and the files seen there belong to that one. Deletes and identity tests
// must tell.
#pragma once

#include <string>
#include <vector>

namespace act {

// Whether something is mounted on the host path itself (a link is not
// followed: a link is never a mount).
bool IsMountRoot(const std::string& host);

// The mount points strictly inside a host folder, as real host paths, from
// the kernel's table of this process's mounts; none when it cannot be read.
std::vector<std::string> MountPointsInside(const std::string& host_folder);

}  // namespace act
