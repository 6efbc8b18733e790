// Room for the run, measured before it touches anything. At its fullest the
// target drive holds, beside what it held before, the staged copy of the
// package, the listed copies made into it and what the carry-over adds to
// its database and settings files; the backups are deleted and the
// installation moved only later. A drive without that room would fail part
// way with Disk full, after filling itself to the last byte, so such a run
// is refused first, and a dry run predicts the same from the same figures.
//
// Every figure is counted as the drive stores it: each file in whole
// allocation blocks, each folder one block, so that many small files count
// for what they take, not for their bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/update_run.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act {

struct StagingRoom {
  std::string drive;            // "q:"
  std::string package;          // the package folder
  uint64_t block = 1;           // the target drive's allocation block; 1 when it cannot tell
  uint64_t package_bytes = 0;   // the package's files, byte for byte (the copy's progress)
  uint64_t package_room = 0;    // the package as the drive stores it
  uint64_t copies_room = 0;     // the installed sources of the listed copies
  uint64_t growth_room = 0;     // what the carry-over may add: the installed database and
                                // settings files, and the swap's note
  uint64_t leftover_room = 0;   // a staging folder left behind, removed first
  std::optional<uint64_t> free_bytes;  // nothing when the drive cannot tell

  // The run's peak use of the drive beyond what it held before.
  uint64_t needed() const { return package_room + copies_room + growth_room; }
  // Free room, counting the leftover staging folder, below the peak.
  bool CertainlyTooSmall() const {
    return free_bytes && *free_bytes + leftover_room < needed();
  }
};

// Nothing when the run would end before the copy anyway (no drive in the
// drive text, the package is the staging folder, no package folder): the
// run then ends as it always has. The listed copies are read from the
// package's own manifest, which the run reads from its staged copy.
std::optional<StagingRoom> MeasureStagingRoom(FileSystem& fs, ProfileStore& profiles,
                                              const RunInputs& inputs);

// Throws act::Error 61 (Disk full) naming the room needed and free when the
// room is certainly too small.
void RefuseIfTooSmall(const StagingRoom& room);

// The files of a path and their bytes: one file, or a folder's whole tree;
// with a block size, the room they take in whole blocks, a folder one block.
struct PathSize {
  uint64_t files = 0;
  uint64_t bytes = 0;
  uint64_t room = 0;
};
PathSize MeasurePath(FileSystem& fs, const std::string& path, uint64_t block = 1);

// "314.6 MB (314572800 bytes)": sizes as messages give them.
std::string ByteCount(uint64_t bytes);

}  // namespace act
