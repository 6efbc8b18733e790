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
//
// Every statement ends with its pages flushed and the file synced. Errors
// are act::Error with Jet's numbers, quoting the statement and naming the
// file.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "db/jet/database.h"
#include "platform/file_system.h"

namespace act::db::exec {

struct StatementResult {
  int64_t records_affected = 0;     // rows appended or updated
  int64_t conversion_failures = 0;  // rows left out: a value did not convert or fit
  int64_t key_violations = 0;       // rows left out: duplicate key
  int64_t rule_violations = 0;      // rows left out: required column, relationship
};

// Told, now and then while an INSERT ... SELECT runs and once at its end,
// how many source rows it has gone through, of the source table's rows.
using RowProgress = std::function<void(int64_t done, int64_t total)>;

// `db` must be open writable for UPDATE and for INSERT without IN.
StatementResult ExecuteStatement(FileSystem& fs, jet::Database& db, std::string_view statement,
                                 const RowProgress& progress = nullptr);

}  // namespace act::db::exec
