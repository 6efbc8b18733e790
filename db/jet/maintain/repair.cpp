#include "db/jet/maintain/repair.h"

#include "db/errors.h"
#include "db/jet/file/in_use_mark.h"
#include "db/jet/file/working_copy.h"
#include "db/jet/maintain/compaction.h"
#include "db/jet/table/database.h"

namespace act::db::jet {

namespace {

void DeleteIfThere(FileSystem& fs, const std::string& path) {
  if (fs.FileExists(path)) fs.DeleteFile(path, false);
}

ConsistencyReport Check(FileSystem& fs, const std::string& path) {
  std::unique_ptr<Database> db = Database::Open(fs, path, /*writable=*/false);
  return CheckDatabase(*db);
}

}  // namespace

RepairResult RepairDatabase(FileSystem& fs, const std::string& path) {
  RepairResult result;
  CompactionReport compaction;
  result.report = Check(fs, path);
  if (!result.report.damaged()) return result;
  // The rebuild goes where a writer's working copy goes: one left behind
  // by a stopped run is replaced by the next writer, whichever it was.
  const std::string rebuilt = WorkingCopy::CopyName(path);
  // Marked in use as Jet marks it (3045 while another program has it open)
  // until the rebuild has taken its place.
  std::unique_ptr<FileLock> in_use = MarkInUse(fs, path);
  // A file that cannot be written (70) is refused before the work. It is
  // not held open meanwhile: Windows would then refuse the compaction's own
  // reading of it.
  fs.OpenRandomAccess(path, true).reset();
  DeleteIfThere(fs, rebuilt);
  compaction = CompactDatabase(fs, path, rebuilt);
  if (!compaction.left_behind.empty()) {
    DeleteIfThere(fs, rebuilt);
    std::string lost;
    for (const LeftBehind& l : compaction.left_behind) lost += (lost.empty() ? "" : "; ") + l.text();
    throw JetFailure(kJetDatabaseCorrupt,
                     path + ": rows cannot be read, so nothing was changed: " + lost +
                         ". jetsql --compact FILE NEWFILE rescues every readable row into a "
                         "new file and reports what it leaves behind");
  }
  fs.ReplaceFile(path, rebuilt);
  in_use.reset();
  result.rewritten = true;
  result.report = Check(fs, path);
  return result;
}

}  // namespace act::db::jet
