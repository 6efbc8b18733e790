#include "tools/jetsql/query.h"

#include <algorithm>

#include "db/errors.h"
#include "db/sql/select_executor.h"

namespace act::jetsql {

int CompareForOrder(const db::Value& a, const db::Value& b) {
  using Kind = db::Value::Kind;
  if (a.is_null() || b.is_null()) return int(!a.is_null()) - int(!b.is_null());
  if (a.is_text() && b.is_text()) return db::JetTextCompare(a.bytes(), b.bytes());
  if (a.kind() == Kind::kCurrency && b.kind() == Kind::kCurrency)
    return (a.integer() > b.integer()) - (a.integer() < b.integer());
  if (a.is_number() && b.is_number()) {
    double x = a.AsDouble(), y = b.AsDouble();
    return (x > y) - (x < y);
  }
  return a.bytes().compare(b.bytes()) < 0 ? -1 : a.bytes() == b.bytes() ? 0 : 1;
}

void RunSelect(db::jet::Database& db, const sql::SelectStatement& select,
               const std::string& statement_text,
               const std::function<void(const std::vector<std::string>&)>& header,
               const std::function<void(const std::vector<db::Value>&)>& row) {
  if (select.order_by.empty()) {
    db::SelectCursor cursor(db, select, statement_text);
    header(cursor.names());
    std::vector<db::Value> values(cursor.names().size());
    while (cursor.Next()) {
      for (std::size_t i = 0; i < values.size(); ++i) values[i] = cursor.value(i);
      row(values);
    }
    return;
  }

  // The cursor reads the shown columns plus the sort columns the list lacks
  // (all columns for SELECT *, which already holds them).
  sql::SelectStatement unsorted = select;
  unsorted.order_by.clear();
  std::size_t shown = 0;
  if (!select.columns.empty()) {
    shown = select.columns.size();
    for (const sql::OrderTerm& term : select.order_by) unsorted.columns.push_back(term.column);
  }
  db::SelectCursor cursor(db, unsorted, statement_text);
  if (select.columns.empty()) shown = cursor.names().size();

  std::vector<std::size_t> keys;
  for (std::size_t i = 0; i < select.order_by.size(); ++i) {
    if (!select.columns.empty()) {
      keys.push_back(shown + i);
    } else {
      auto at = cursor.Find(select.order_by[i].column);
      if (!at)
        throw db::JetFailure(db::kJetTooFewParameters,
                             "no column " + select.order_by[i].column + " to sort by in \"" +
                                 statement_text + "\"");
      keys.push_back(*at);
    }
  }

  std::vector<std::vector<db::Value>> rows;
  while (cursor.Next()) {
    std::vector<db::Value> values(cursor.names().size());
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = cursor.value(i);
    rows.push_back(std::move(values));
  }
  std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
    for (std::size_t k = 0; k < keys.size(); ++k) {
      int c = CompareForOrder(a[keys[k]], b[keys[k]]);
      if (c != 0) return select.order_by[k].descending ? c > 0 : c < 0;
    }
    return false;
  });

  std::vector<std::string> names(cursor.names().begin(), cursor.names().begin() + shown);
  header(names);
  for (auto& values : rows) {
    values.resize(shown);
    row(values);
  }
}

}  // namespace act::jetsql
