// Runs a parsed SELECT over the tables of an open database: the rows of
// its FROM clause (from_clause.h; one table's in page/row order), filtered
// by WHERE (condition.h), then
// grouped, made distinct, sorted and cut to TOP n as the statement asks.
//
// What it holds in memory:
// - A SELECT of columns, filtered or not, streams: rows are read as the
//   caller asks for them, and TOP n ends the scan after n, so a result of
//   any size holds no more than the pager's cache.
// - Aggregates keep one set of totals per group: memory grows with the
//   number of groups, not of rows. Groups come out in the order of their
//   GROUP BY columns (Nulls first), as Jet's do.
// - A UNION runs each of its SELECTs in turn and holds their rows, as
//   DISTINCT does (UNION ALL as ORDER BY does); its ORDER BY names the
//   first SELECT's columns, by name or place.
// - ORDER BY and DISTINCT hold the result's rows, packed with their sort
//   keys (packed_row.h, value_order.h): the selected values, their keys and
//   some 50 bytes a row (a million songs sorted by title: 180 MB). DISTINCT
//   drops duplicates, and TOP n the rows past the n-th, whenever the rows
//   held have doubled, so they hold at most about twice the distinct rows,
//   or twice n (4096 rows at least). Without ORDER BY, DISTINCT rows come
//   out in the order of their values, as Jet's do; TOP n of a sort returns
//   the rows that tie with the n-th too, as Jet's TOP does.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/table/database.h"
#include "db/sql/ast.h"
#include "db/value.h"
#include "platform/file_system.h"

namespace act::db::exec {

class FromClause;

class SelectCursor {
 public:
  // Checks the statement against its tables (from_clause.h: unknown table
  // 3078, unknown column 3061, ambiguous 3079), mixed kinds in a condition
  // 3464, and Jet's refusals of aggregate queries (3096, 3121, 3122, 3093,
  // 3094, memo and OLE columns 3114 to 3119), each quoting
  // `statement_text`. `fs` opens the files of `IN 'file'` sources.
  SelectCursor(jet::Database& db, const sql::SelectStatement& select,
               const std::string& statement_text, FileSystem* fs = nullptr);
  ~SelectCursor();

  // Moves to the next row of the result; false past the last.
  bool Next();
  // Back before the first row.
  void Rewind();

  // The columns of the result: a column's name as the table stores it
  // ("source.name" when two shown columns share it), an alias as written,
  // or Jet's Expr1000, Expr1001, ... for an aggregate without one.
  const std::vector<std::string>& names() const { return names_; }
  // Value of column i in the current row, and all of them.
  const Value& value(size_t i) const { return values_[i]; }
  const std::vector<Value>& values() const { return values_; }
  // Position of a column by name (case-insensitive), or nullopt.
  std::optional<size_t> Find(std::string_view name) const;
  // The sources it reads.
  const FromClause& from() const;

 private:
  struct Query;
  void OpenUnion(jet::Database& db, const sql::SelectStatement& s, const std::string& text,
                 FileSystem* fs);
  void Materialize();

  std::unique_ptr<Query> query_;
  std::vector<std::string> names_;
  std::vector<Value> values_;
};

}  // namespace act::db::exec
