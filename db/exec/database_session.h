// An open database and the statements run on it, as jetsql and the DAO
// layer hold them. The file is opened read-only, so that a database only
// read never has a byte changed; the first statement that writes reopens it
// for writing, the way the session was asked to write.
#pragma once

#include <memory>
#include <string>

#include "db/exec/statement_executor.h"
#include "db/jet/file/working_copy.h"
#include "db/jet/table/database.h"
#include "platform/file_system.h"

namespace act::db::exec {

enum class Writes {
  // Into the file itself, durable at each Commit: a statement stopped
  // part-way leaves what it had written. For a file no one else uses,
  // which nothing is lost with (the update's staged database).
  kInPlace,
  // The same, into a file others may have open: the first write takes
  // Jet's in-use mark (db/jet/file/in_use_mark.h), refused with 3045 while
  // another program has the database open, and holds it to the end.
  kInPlaceMarked,
  // Marked in use likewise, into a working copy (db/jet/file/working_copy.h)
  // which Commit puts in the file's place: until then the file is as it
  // was, whatever stops the writes.
  kAllOrNothing,
};

class DatabaseSession {
 public:
  // Opens the existing database at `path` (3024 when missing, 3343 when no
  // Jet file).
  DatabaseSession(FileSystem& fs, std::string path, Writes writes);
  // Without a Commit, what was written is dropped when writes are all or
  // nothing, and left as the last flush wrote it in place.
  ~DatabaseSession();
  DatabaseSession(const DatabaseSession&) = delete;
  DatabaseSession& operator=(const DatabaseSession&) = delete;

  jet::Database& db() { return *db_; }
  StatementRunner& statements() { return *statements_; }
  FileSystem& fs() { return fs_; }
  const std::string& path() const { return path_; }

  // Writes everything the statements left waiting and makes it durable;
  // all or nothing, the working copy then takes the file's place, and the
  // next statement that writes makes a new one.
  void Commit();

 private:
  void BeforeFirstWrite();
  void OpenWorkingCopy();
  void NewStatementRunner();

  FileSystem& fs_;
  std::string path_;
  Writes writes_;
  // Members go in reverse order: the runner (which refers to the database),
  // the database (whose pager may hold the copy open), the copy, the mark.
  std::unique_ptr<FileLock> in_use_;
  std::unique_ptr<jet::WorkingCopy> copy_;
  std::unique_ptr<jet::Database> db_;
  std::unique_ptr<StatementRunner> statements_;
};

}  // namespace act::db::exec
