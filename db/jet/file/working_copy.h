// A database changed all or nothing: the writes go into a copy beside it,
// and the copy, once synced, takes the original's place in one step
// (FileSystem::ReplaceFile: a rename and a sync of the folder, ReplaceFileW
// on Windows). Whatever stops the writer before that step (a failing
// statement, a full disk, a kill, a power cut) leaves the original as it
// was; after it, the file holds everything written.
//
// Why not a rollback journal beside the file, as SQLite keeps: the
// product's own Jet, and Access, know nothing of one. After a crash they
// would open the half-written file as it is; only a file that is never
// half written is safe from them.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace act::db::jet {

class WorkingCopy {
 public:
  // The name of the copy of `original`.
  static std::string CopyName(const std::string& original);

  // Opens `original` for writing (70 on a read-only file, as writing it in
  // place would) and holds it open until the copy replaces it, then copies
  // it beside itself. A copy left there by a run that was killed is
  // replaced: no one else writes the file while its in-use mark is held.
  WorkingCopy(FileSystem& fs, std::string original);
  // Removes the copy unless it took the original's place; a failure to
  // remove it is ignored here.
  ~WorkingCopy();
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  // Where the writes go.
  const std::string& path() const { return copy_; }
  const std::string& original() const { return original_; }

  // Syncs the copy and puts it in the original's place. Every file opened
  // on the copy must be closed first (Windows refuses to replace a file
  // with one that is open).
  void ReplaceOriginal();

 private:
  FileSystem& fs_;
  std::string original_;
  std::string copy_;
  std::unique_ptr<RandomAccessFile> held_;  // the original, while the copy is written
  bool replaced_ = false;
};

}  // namespace act::db::jet
