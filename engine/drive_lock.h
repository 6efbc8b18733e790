// One update at a time on a drive. A run holds the drive from before it
// touches anything until it ends; a second run, from the window or the
// command line, from this build or the other one under Wine on the same
// drive, finds it held and refuses without changing anything. The lock is
// the system's lock on a file in the support folder, which the system drops
// with the process, so a run that was killed holds nothing afterwards.
//
// The support folder is the one place of the product's own that stays put
// through the whole run (the installation and the staging folder move);
// when a run has to make it for the lock and leaves it empty, it removes
// it again, so that a refused or failed run leaves the drive as it found
// it.
#pragma once

#include <memory>
#include <string>

#include "engine/run_observer.h"
#include "engine/run_paths.h"
#include "platform/file_system.h"

namespace act {

class DriveLock {
 public:
  // Nothing when another run holds the drive.
  static std::unique_ptr<DriveLock> Take(FileSystem& fs, const RunPaths& paths,
                                         RunObserver& observer);
  ~DriveLock();
  DriveLock(const DriveLock&) = delete;
  // From the swap's own making of the support folder on, the folder stays
  // whatever happens, as if the swap had made it there.
  void KeepSupportFolder() { made_support_ = false; }
  DriveLock& operator=(const DriveLock&) = delete;

 private:
  DriveLock(FileSystem& fs, std::string support, bool made_support, std::unique_ptr<FileLock> lock)
      : fs_(fs), support_(std::move(support)), made_support_(made_support), lock_(std::move(lock)) {}

  FileSystem& fs_;
  std::string support_;
  bool made_support_;
  std::unique_ptr<FileLock> lock_;
};

// The refusal a second run shows.
std::string DriveBusyRefusal(const std::string& drive);

}  // namespace act
