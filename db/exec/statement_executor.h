// Runs the writing statements: UPDATE ... SET ... [WHERE ...],
// INSERT INTO t [(cols)] [IN 'file'] SELECT ... and INSERT INTO t [(cols)]
// VALUES (...), the way Database.Execute without dbFailOnError runs them:
//
// - INSERT ... SELECT reads the database it runs on (which it never
//   changes) and appends to the table of the same database or of the file
//   named by IN, opened writable through the same file-system service.
//   Columns are matched by name; values are converted to the destination
//   column's type. A row that the destination refuses (duplicate key,
//   required column, broken relationship, a value that does not convert or
//   does not fit) is left out and counted; the statement goes on.
// - INSERT ... VALUES writes one row; a refusal is an error.
// - UPDATE changes every matching row; a row whose change is refused keeps
//   its values and is counted.
// - CREATE TABLE and CREATE INDEX change the design.
//
// Errors are act::Error with Jet's numbers, quoting the statement and
// naming the file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "db/jet/table/database.h"
#include "db/sql/ast.h"
#include "db/statement_counts.h"
#include "platform/file_system.h"

namespace act::db::exec {

// Runs one statement; its pages are flushed and the file synced before it
// returns. `db` must be open writable for UPDATE, CREATE and for INSERT
// without IN.
StatementCounts ExecuteStatement(FileSystem& fs, jet::Database& db, std::string_view statement,
                                 const RowProgress& progress = nullptr);

struct TableAppender;

// Runs statements one after another on one database, as a script wants
// them: at the speed of the engine rather than of the disk.
//
// - Changes wait in memory, where the statements after them (and readers
//   of the database, once Settle() is called) see them, and reach the file
//   in batches of about a thousand pages, in the order that keeps the file
//   readable wherever the writing stops (Pager::FlushWrites). Commit()
//   writes what waits and syncs the file: until then, a crash of the whole
//   system can lose or tear what the statements wrote.
// - INSERT ... VALUES into the table of the one before keeps its writer,
//   so a script of single-row inserts costs about what one INSERT ...
//   SELECT of the same rows does.
// - A statement that fails leaves the ones before it: their changes are
//   written and synced, its own are dropped (a row INSERT ... VALUES
//   refuses changes nothing), and its error is thrown.
// - Files after IN are written and synced by their own statement.
class StatementRunner {
 public:
  // `before_first_write` runs once, before the first statement that
  // changes `db` itself (the DAO layer opens files read-only and reopens
  // them for writing there).
  StatementRunner(FileSystem& fs, jet::Database& db,
                  std::function<void()> before_first_write = nullptr);
  ~StatementRunner();
  StatementRunner(const StatementRunner&) = delete;
  StatementRunner& operator=(const StatementRunner&) = delete;

  StatementCounts Execute(std::string_view statement, const RowProgress& progress = nullptr);
  StatementCounts Execute(std::string_view statement, const sql::Statement& parsed,
                          const RowProgress& progress = nullptr);
  // Ends the writer kept for INSERT ... VALUES, so that everything
  // written is in the pages readers of `db` see.
  void Settle();
  // Writes everything that waits and syncs the file.
  void Commit();

 private:
  StatementCounts AppendValues(const sql::InsertValuesStatement& s, std::string_view statement);
  // Drops what the failed statement left waiting (when it may have), commits
  // the statements before it and throws its error, quoting it.
  [[noreturn]] void Failed(const act::Error& e, std::string_view statement, bool own_changes);
  StatementCounts Run(std::string_view statement, const sql::Statement& parsed,
                      const RowProgress& progress);
  void WillWrite();

  FileSystem& fs_;
  jet::Database& db_;
  std::function<void()> before_first_write_;
  std::unique_ptr<TableAppender> appender_;
  bool unsynced_ = false;  // written (or waiting) since the last sync
};

}  // namespace act::db::exec
