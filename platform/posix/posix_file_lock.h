// The posix side of FileSystem::LockFile, on a host path.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace act {

// host is the file's path on this system, path its Windows path for error
// reports.
std::unique_ptr<FileLock> LockHostFile(const std::string& host, const std::string& path,
                                       uint64_t first_byte, uint64_t bytes);

}  // namespace act
