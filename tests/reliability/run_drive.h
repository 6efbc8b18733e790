// A realistic update on a temporary drive, for the reliability tests: an
// installed product whose datos.mdb is a real Jet 3 database, with settings,
// skins and photos; a package with its manifest beside the updater; and,
// optionally, a support folder that already holds backups (one of the
// version about to be backed up, and an unversioned one) so that the run's
// deletes there are exercised too.
//
// The pristine drive is kept in a template folder on the same drive, so each
// trial starts from exactly the same bytes.
#pragma once

#include <memory>
#include <string>

#include "engine/update_run.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "tests/support/sample_drive.h"
#include "tests/support/temp_drive.h"

namespace act::test {

struct RunDriveOptions {
  bool earlier_backups = false;
  // With songs > 0 the databases are carry-over databases of that many
  // installed songs, and the run carries them over through the Jet engine,
  // whose page reads and writes then go through the fault file system too.
  int songs = 0;
};

class RunDrive {
 public:
  explicit RunDrive(const RunDriveOptions& options);

  // Puts the drive back into its state before any run.
  void Reset();

  // One run of the update through fs (which must see this drive).
  RunOutcome Run(FileSystem& fs);

  FileSystem& fs() { return drive_.fs(); }
  const std::string& drive() const { return drive_.drive(); }
  std::string Path(const std::string& relative) const { return drive_.Path(relative); }

  // The version the installation carries, as read from its executable.
  const std::string& current_version() const { return current_; }
  // drive\SOPORTE\zentaroDeck_<current version>.
  std::string BackupPath() const { return Path("\\SOPORTE\\zentaroDeck_" + current_); }

  // Snapshot of a folder, or an empty snapshot with a marker when the folder
  // is absent, so that "absent" and "empty" differ.
  Snapshot Take(const std::string& relative);

 private:
  act::testing::TempDrive drive_;
  std::string current_;
  bool carry_database_ = false;
};

}  // namespace act::test
