// Runs a SELECT for jetsql: the engine's cursor yields the rows; ORDER BY,
// which the cursor does not do, is done here by sorting the whole result.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/sql/ast.h"
#include "db/value.h"

namespace act::jetsql {

// Calls `header` once with the column names, then `row` for each row: as
// the cursor finds them, or all at the end when the statement sorts.
void RunSelect(db::jet::Database& db, const sql::SelectStatement& select,
               const std::string& statement_text,
               const std::function<void(const std::vector<std::string>&)>& header,
               const std::function<void(const std::vector<db::Value>&)>& row);

// <0, 0, >0 as Jet's ORDER BY ranks two values of one column: Null first,
// texts by Jet's text order (letter case ignored), numbers and dates by
// value, bytes by byte.
int CompareForOrder(const db::Value& a, const db::Value& b);

}  // namespace act::jetsql
