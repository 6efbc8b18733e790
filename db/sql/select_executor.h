// Runs a parsed SELECT over one table of an open database: a scan in table
// (page/row) order, filtered by the WHERE condition, yielding the selected
// columns. Rows are produced one at a time, so a result of any size holds no
// more than the pager's cache.
//
// Text compares as Jet compares it: by the Jet 3 "General" sort key, so
// letter case is ignored and texts with equal keys are equal.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/table_scan.h"
#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db {

class SelectCursor {
 public:
  // Checks the statement against the table (unknown table 3078, unknown
  // column 3061, unsupported clauses 3251, each quoting `statement_text`).
  SelectCursor(jet::Database& db, const sql::SelectStatement& select,
               const std::string& statement_text);

  // Moves to the next row that meets the condition; false past the last.
  bool Next();
  // Back before the first row.
  void Rewind();

  // The selected columns, names as the table stores them.
  const std::vector<std::string>& names() const { return names_; }
  // Value of selected column i in the current row.
  const Value& value(size_t i) const { return values_[i]; }
  // Position of a selected column by name (case-insensitive), or nullopt.
  std::optional<size_t> Find(std::string_view name) const;

 private:
  struct Operand;
  enum class Truth { kFalse, kTrue, kUnknown };
  Truth Evaluate(const sql::Expr& e);
  Operand Resolve(const sql::Expr& e);
  void CheckExpr(const sql::Expr& e);
  Value ColumnValue(size_t table_column);

  std::string statement_;
  std::shared_ptr<const jet::TableDefinition> table_;
  jet::TableScan scan_;
  std::optional<sql::Expr> where_;
  std::vector<size_t> selected_;  // table column positions
  std::vector<std::string> names_;
  std::vector<Value> values_;
};

// True when two texts are equal as Jet compares them.
bool JetTextEqual(std::string_view a, std::string_view b);
// <0, 0, >0 as Jet orders two texts.
int JetTextCompare(std::string_view a, std::string_view b);

}  // namespace act::db
