// The profile functions in our own code (platform/ini_file.h), reaching the
// files through a file-system service. The posix build's profile store; on
// Windows the store of a dry run, whose files live in an overlay that
// kernel32 cannot see.
#pragma once

#include <memory>

#include "platform/profile_store.h"

namespace act {

// fs must outlive the store.
std::unique_ptr<ProfileStore> NewFileProfileStore(FileSystem& fs);

}  // namespace act
