// UPDATE t SET col = value, ... [WHERE ...]: every matching row changed,
// a row whose change is refused counted and left as it was.
#include <optional>
#include <utility>
#include <vector>

#include "db/errors.h"
#include "db/exec/condition.h"
#include "db/exec/expression.h"
#include "db/exec/pinned_rows.h"
#include "db/exec/statement_support.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"

namespace act::db::exec {

StatementCounts RunUpdate(jet::Database& db, const sql::UpdateStatement& s,
                          std::string_view statement) {
  auto table = TableOf(db, s.table, statement);
  std::optional<Condition> where;
  if (s.where) where.emplace(*s.where, TableColumns(*table, std::string(statement)), std::string(statement), &db);
  // A value that depends on no row is converted once; the others are
  // computed from each row's values as they were before the statement.
  std::vector<std::pair<int, Value>> changes;
  std::vector<std::pair<int, Expression>> computed;
  const Resolver columns = TableColumns(*table, std::string(statement));
  for (const sql::Assignment& a : s.assignments) {
    int i = table->ColumnIndex(a.column);
    if (i < 0) {
      throw MissingParameterFailure(db.path() + ": '" + a.column + "' is no column of '" + s.table +
                                    "', in " + QuotedStatement(statement));
    }
    const jet::ColumnDef& c = table->columns[i];
    Expression value(a.value, Scope{columns, std::string(statement), &db});
    if (!value.constant()) {
      computed.emplace_back(i, std::move(value));
      continue;
    }
    auto v = Convert(c, *value.constant());
    if (!v) {
      throw JetFailure(kJetConversionError, db.path() + ": column '" + c.name +
                                                "' cannot take the value, in " + QuotedStatement(statement));
    }
    changes.emplace_back(i, std::move(*v));
  }
  // Matching rows are found first, so that moving a row cannot make the scan
  // meet it twice.
  std::vector<std::pair<jet::RowPointer, std::vector<Value>>> matches;
  {
    jet::TableScan scan(db.pager(), db.format(), *table);
    if (where) NarrowToPinnedRows(db, *table, *where, scan);
    std::vector<Value> row(table->columns.size());
    while (scan.Next()) {
      for (size_t i = 0; i < table->columns.size(); ++i) row[i] = scan.Get(i);
      if (!where || where->Holds(row)) matches.emplace_back(scan.position(), row);
    }
  }
  db.pager().BeginDeferredWrites();
  jet::PageAllocator allocator(db);
  jet::TableWriter writer(db, allocator, table);
  StatementCounts result;
  for (auto& [where, old_values] : matches) {
    std::vector<Value> new_values = old_values;
    for (const auto& [i, v] : changes) new_values[i] = v;
    try {
      RowVector old_row(old_values);
      for (const auto& [i, e] : computed) {
        auto v = Convert(table->columns[i], e.Evaluate(old_row));
        if (!v) {
          throw JetFailure(kJetConversionError, db.path() + ": column '" + table->columns[i].name +
                                                    "' cannot take the value, in " +
                                                    QuotedStatement(statement));
        }
        new_values[i] = std::move(*v);
      }
      if (!(new_values == old_values)) writer.Update(where, old_values, new_values);
      ++result.changed;
    } catch (const act::Error& e) {
      CountRefusal(result, e);
    }
    if (db.pager().pending_writes() > kFlushEveryPages) Flush(db, writer, Sync::kNo);
  }
  Flush(db, writer, Sync::kNo);
  db.Reload();
  return result;
}

}  // namespace act::db::exec
