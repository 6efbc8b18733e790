// What the writing statements share: where their rows go, how a refused
// row is counted, and how their pages reach the file. Each statement lives
// in a file of its own (insert_select, insert_values, update_statement,
// design_statements); StatementRunner (statement_executor) runs them.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/exec/statement_executor.h"
#include "db/jet/table/database.h"
#include "db/jet/write/table_writer.h"
#include "db/sql/ast.h"
#include "db/value.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace act::db::exec {

// Pages a statement may hold in memory before writing them out: bounds the
// memory of an append of any size.
constexpr size_t kFlushEveryPages = 1024;

// Counts a row the destination refused (a value that does not convert or
// fit, a duplicate key, a broken rule) and goes on; any other failure ends
// the statement. Called from a handler, where `throw;` passes the failure on.
void CountRefusal(StatementCounts& result, const act::Error& e);

// Writes the statement's pages: index pages and TDEF counters first into
// the batch, then everything in the order the pager keeps. A file of its
// own (after IN) is synced at the statement's end; the database the
// statements run on is synced by StatementRunner::Commit (see
// Pager::FlushWrites).
enum class Sync { kNo, kYes };
void Flush(jet::Database& db, jet::TableWriter& writer, Sync sync);

// The destination of an INSERT: the database itself or the file after IN.
struct Destination {
  std::unique_ptr<jet::Database> owned;
  jet::Database* db = nullptr;
};
Destination OpenDestination(FileSystem& fs, jet::Database& db,
                            const std::optional<std::string>& file, std::string_view statement);

// The table named by a statement: 3078 when the database lacks it.
std::shared_ptr<const jet::TableDefinition> TableOf(jet::Database& db, const std::string& name,
                                                    std::string_view statement);

// Converts `value` for destination column `c`; nullopt = the row is refused.
std::optional<Value> Convert(const jet::ColumnDef& c, const Value& value);

// The destination column named `name` (in the INSERT's column list, or a
// selected column's name): 3127 when the table lacks it.
size_t DestinationColumn(const jet::Database& db, const jet::TableDefinition& table,
                         const std::string& table_name, const std::string& name,
                         std::string_view statement);

// What each column takes when an INSERT leaves it out: its DefaultValue as
// the column stores it, or Null.
std::vector<Value> ColumnDefaults(const jet::TableWriter& writer,
                                  const jet::TableDefinition& table);

// The statements, each in its own file.
StatementCounts RunInsertSelect(FileSystem& fs, jet::Database& db,
                                const sql::InsertSelectStatement& s, std::string_view statement,
                                const RowProgress& progress);
// INSERT ... IN 'file' VALUES: the file is opened, written and synced for
// this one row.
StatementCounts RunInsertValuesElsewhere(FileSystem& fs, jet::Database& db,
                                         const sql::InsertValuesStatement& s,
                                         std::string_view statement);
StatementCounts RunUpdate(jet::Database& db, const sql::UpdateStatement& s,
                          std::string_view statement);
StatementCounts RunDelete(jet::Database& db, const sql::DeleteStatement& s,
                          std::string_view statement);
StatementCounts RunDropTable(jet::Database& db, const sql::DropTableStatement& s,
                             std::string_view statement);
StatementCounts RunDropIndex(jet::Database& db, const sql::DropIndexStatement& s,
                             std::string_view statement);
StatementCounts RunAlterTable(jet::Database& db, const sql::AlterTableStatement& s,
                              std::string_view statement);
StatementCounts RunCreateIndex(jet::Database& db, const sql::CreateIndexStatement& s,
                               std::string_view statement);
StatementCounts RunCreateTable(jet::Database& db, const sql::CreateTableStatement& s,
                               std::string_view statement);

}  // namespace act::db::exec
