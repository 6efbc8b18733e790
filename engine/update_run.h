// The update run: one update from the press of "Actualizar" to the final
// message. See engine/update_run.cpp for the steps.
#pragma once

#include <string>

#include "engine/database/carry_over.h"
#include "engine/message_box.h"
#include "engine/run_observer.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act {

class DriveLock;

struct RunInputs {
  // The drive list's current text at the press, e.g. "c:" or "c: [DATOS]".
  std::string drive_text;
  // The folder of the running updater: no trailing backslash, except at a
  // drive root ("e:\").
  std::string updater_folder;
};

enum class RunOutcome {
  kCompleted,  // the final message was shown; the window stays open
  kRefused,    // the version gate refused (the staging folder is gone), or
               // the package is the staging folder itself (nothing touched);
               // either way the program must end
};

// The platform services a run uses. The file-system service is created anew
// for every run by the caller.
struct RunServices {
  FileSystem& fs;
  ProfileStore& profiles;
  MessageBoxes& boxes;
  // The database carry-over; null (tests of the other stages) skips it and
  // the package's datos.new is promoted as it came.
  DatabaseCarryOver* database = nullptr;
  // Told of every step (the command line's log, plan and progress); null
  // tells nobody.
  RunObserver* observer = nullptr;
  // The drive, when the caller took it already (TakeDriveForRun) to read it
  // before the run; null: the run takes it itself.
  DriveLock* drive_lock = nullptr;
};

// Takes the target drive for one run, so that no other run reads or changes
// it meanwhile; nothing when another run holds it, after showing the
// operator why. A caller that measures the drive before the run takes it
// first: on Windows even a file held open for a moment by a second run can
// make the first one's moves fail.
std::unique_ptr<DriveLock> TakeDriveForRun(const RunInputs& inputs, FileSystem& fs,
                                           MessageBoxes& boxes, RunObserver* observer);

// Runs one update. Throws act::Error on the first failing operation; the
// caller reports it and ends the program.
RunOutcome RunUpdate(const RunInputs& inputs, RunServices& services);

// For the window as it opens, on the drive its list shows: finishes a swap
// that an earlier run left half done, as a run would first, and tells the
// operator. A drive without the swap's note is not touched, and one that a
// run holds now is left to it. Throws act::Error as a run does.
void FinishInterruptedUpdate(const std::string& drive_text, FileSystem& fs, MessageBoxes& boxes);

}  // namespace act
