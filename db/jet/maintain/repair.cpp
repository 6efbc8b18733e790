#include "db/jet/maintain/repair.h"

#include "db/errors.h"
#include "db/jet/maintain/compaction.h"
#include "db/jet/table/database.h"

namespace act::db::jet {

namespace {

void DeleteIfThere(FileSystem& fs, const std::string& path) {
  if (fs.FileExists(path)) fs.DeleteFile(path, false);
}

// `rebuilt` takes the place of `path`. The original is moved aside first
// and removed last, so that a run stopped part-way leaves one of the two
// whole under a name the operator sees.
void PutInPlace(FileSystem& fs, const std::string& rebuilt, const std::string& path) {
  const std::string original = path + ".original.tmp";
  DeleteIfThere(fs, original);
  fs.MoveFile(path, original);
  fs.MoveFile(rebuilt, path);
  fs.DeleteFile(original, false);
}

ConsistencyReport Check(FileSystem& fs, const std::string& path) {
  std::unique_ptr<Database> db = Database::Open(fs, path, /*writable=*/false);
  return CheckDatabase(*db);
}

}  // namespace

RepairResult RepairDatabase(FileSystem& fs, const std::string& path) {
  RepairResult result;
  result.report = Check(fs, path);
  if (!result.report.damaged()) return result;
  // A rebuild a stopped repair left behind is ours to replace.
  const std::string rebuilt = path + ".repair.tmp";
  DeleteIfThere(fs, rebuilt);
  CompactionReport compaction = CompactDatabase(fs, path, rebuilt);
  if (!compaction.left_behind.empty()) {
    DeleteIfThere(fs, rebuilt);
    std::string lost;
    for (const LeftBehind& l : compaction.left_behind) lost += (lost.empty() ? "" : "; ") + l.text();
    throw JetFailure(kJetDatabaseCorrupt,
                     path + ": rows cannot be read, so nothing was changed: " + lost +
                         ". jetsql --compact FILE NEWFILE rescues every readable row into a "
                         "new file and reports what it leaves behind");
  }
  PutInPlace(fs, rebuilt, path);
  result.rewritten = true;
  result.report = Check(fs, path);
  return result;
}

}  // namespace act::db::jet
