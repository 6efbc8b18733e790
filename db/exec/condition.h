// WHERE conditions over one row, with Jet's rules: a comparison with Null is
// never true, text compares in the database's sort order (case-blind, as
// Jet 3's "General" order is), numbers compare as numbers, and a text
// operand against a number column is read as a number.
#pragma once

#include <vector>

#include "db/jet/table_definition.h"
#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

// Checks that every column the condition names exists (Jet error 3061
// otherwise, naming the column and quoting `statement`).
void CheckConditionColumns(const sql::Expr& condition, const jet::TableDefinition& table,
                           const std::string& statement);

// True when the row (values indexed like table.columns) meets the condition.
bool RowMatches(const sql::Expr& condition, const jet::TableDefinition& table,
                const std::vector<Value>& row);

}  // namespace act::db::exec
