// The sources a SELECT reads (its FROM clause), opened: their tables, the
// place of each of their columns in the joined row (join_streams.h), the
// names the statement gives them, and the joined rows.
//
// Names resolve as Jet resolves them: `t.col` in the source named t (its
// alias, or the table's name when it has none); a plain `col` in the one
// source that has it, 3079 when several have it; 3061 for a column no
// source has. Two sources of one name are refused (3296).
//
// How each join runs (join_streams.h): for INNER and comma joins the side
// with an index over the equated columns is looked up, else the side with
// fewer rows is held; for LEFT (RIGHT) joins the right (left) side is
// looked up by index or held. A comma join takes its equated columns from
// the terms the WHERE clause ANDs at its top.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/exec/condition.h"
#include "db/exec/join_streams.h"
#include "db/jet/table/database.h"
#include "db/sql/ast.h"
#include "platform/file_system.h"

namespace act::db::exec {

// What a join may hold of its inner side at once (HashProbe).
inline constexpr size_t kJoinHashBytes = size_t(64) << 20;

// The file of a source's `IN 'file'`: as written when absolute, else in the
// folder of `db`'s file.
std::string SourceFilePath(const jet::Database& db, const std::string& file);

class FromClause {
 public:
  struct Table {
    std::string name;  // what its columns are qualified by
    jet::Database* db = nullptr;
    std::shared_ptr<const jet::TableDefinition> definition;
    size_t first = 0;  // the place of its first column
  };

  // Opens the tables: 3078 for one the database lacks; `IN 'file'` sources
  // through `fs` (3251 without one), a relative path from the folder of
  // `db`'s file. `where` (may be null) gives the comma joins their keys.
  // Refusals quote `statement`.
  FromClause(FileSystem* fs, jet::Database& db, const sql::Source& from, const sql::Expr* where,
             const std::string& statement, size_t hash_bytes = kJoinHashBytes);
  ~FromClause();

  const std::vector<Table>& tables() const { return tables_; }
  size_t width() const { return width_; }
  const Table& TableAt(size_t place) const;
  const jet::ColumnDef& column(size_t place) const;
  // The place of a column the statement names (a kColumn), as above.
  size_t Resolve(const sql::Expr& column) const;
  // Whether any source has a column of that name.
  bool HasColumn(const std::string& name) const;
  // The source named `name` (for `name.*`): 3061 when there is none.
  const Table& Named(const std::string& name) const;
  // Resolve as conditions take it.
  Resolver Columns() const;

  // The joined rows.
  bool Next() { return root_->Next(); }
  void Rewind() { root_->Rewind(); }
  RowValues& row() { return *row_; }
  // The scan of the one table, when the clause is one table (for
  // NarrowToPinnedRows), else nullptr.
  jet::TableScan* single_scan() { return single_; }

 private:
  void OpenTables(FileSystem* fs, jet::Database& db, const sql::Source& source);
  std::unique_ptr<Stream> Build(const sql::Source& source, size_t table);
  std::unique_ptr<Stream> BuildJoin(const sql::Source& source, size_t table);
  [[noreturn]] void Refuse(int number, const std::string& what) const;

  std::string statement_;
  const sql::Expr* where_;
  size_t hash_bytes_;
  jet::Database& db_;  // its clock for Now() and Date() in ON, and subqueries there
  std::vector<std::unique_ptr<jet::Database>> files_;
  std::vector<Table> tables_;
  size_t width_ = 0;
  std::unique_ptr<Stream> root_;
  std::unique_ptr<StreamRow> row_;
  jet::TableScan* single_ = nullptr;
};

}  // namespace act::db::exec
