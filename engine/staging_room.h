// Room for the staging copy, measured before a run touches anything. The
// package is copied whole onto the target drive (once a staging folder left
// by an earlier run is removed), so a drive with less room than the package
// cannot hold the copy, whatever the rest of the run would need besides.
// Without this check such a run fails half-way through the staging copy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/update_run.h"
#include "platform/file_system.h"

namespace act {

struct StagingRoom {
  std::string drive;             // "q:"
  std::string package;           // the package folder
  uint64_t package_bytes = 0;    // every file of the package
  uint64_t leftover_bytes = 0;   // a staging folder left behind, removed first
  std::optional<uint64_t> free_bytes;  // nothing when the drive cannot tell

  // Free room, counting the leftover staging folder, below the package.
  bool CertainlyTooSmall() const {
    return free_bytes && *free_bytes + leftover_bytes < package_bytes;
  }
};

// Nothing when the run would end before the copy anyway (no drive in the
// drive text, the package is the staging folder, no package folder): the
// run then ends as it always has.
std::optional<StagingRoom> MeasureStagingRoom(FileSystem& fs, const RunInputs& inputs);

// Throws act::Error 61 (Disk full) naming the room needed and free when the
// room is certainly too small.
void RefuseIfTooSmall(const StagingRoom& room);

// The files of a path and their bytes: one file, or a folder's whole tree.
struct PathSize {
  uint64_t files = 0;
  uint64_t bytes = 0;
};
PathSize MeasurePath(FileSystem& fs, const std::string& path);

// "314.6 MB (314572800 bytes)": sizes as messages give them.
std::string ByteCount(uint64_t bytes);

}  // namespace act
