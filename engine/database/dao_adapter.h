// The carry-over's database engine on our own Jet engine (db/): files are
// opened through the run's file-system service, so the path after IN in a
// statement reaches the same file on every backend.
#pragma once

#include <memory>

#include "engine/database/carry_over_seams.h"
#include "platform/file_system.h"

namespace act {

// fs must outlive the engine.
std::unique_ptr<CarryOverEngine> NewDaoCarryOverEngine(FileSystem& fs);

}  // namespace act
