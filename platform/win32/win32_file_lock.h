// The Windows side of FileSystem::LockFile.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace act {

std::unique_ptr<FileLock> LockWindowsFile(const std::string& path, uint64_t first_byte,
                                          uint64_t bytes);

}  // namespace act
