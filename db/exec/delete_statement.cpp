// DELETE FROM t [WHERE ...]: every matching row removed, with the rows of
// other tables that relationships cascading deletes tie to it. A row that
// a relationship without cascade still holds refuses the whole statement
// (3200) before anything is removed, as Jet does with dbFailOnError: a
// support engineer who asked for rows to go learns why they did not.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "db/errors.h"
#include "db/exec/condition.h"
#include "db/exec/statement_support.h"
#include "db/jet/index/index_maintenance.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"

namespace act::db::exec {

namespace {

// Matching rows are held and removed in batches of this many: memory stays
// bounded whatever the table's size, and a batch's index entries go in key
// order, each leaf changed once for all of them (a tenth of a million
// songs is two batches).
constexpr size_t kRowsPerBatch = size_t(1) << 15;

bool HasDependents(const jet::TableDefinition& table) {
  for (const jet::LogicalIndex& logical : table.logical_indexes) {
    if (logical.kind == jet::kForeignKey && logical.related_side == 1) return true;
  }
  return false;
}

// The values of the rows at `rows`, in that order (a row deleted since is
// left out).
std::vector<std::pair<jet::RowPointer, std::vector<Value>>> ReadRows(
    jet::Database& db, const jet::TableDefinition& table, std::vector<jet::RowPointer> rows) {
  std::vector<std::pair<jet::RowPointer, std::vector<Value>>> out;
  jet::TableScan scan(db.pager(), db.format(), table);
  scan.Only(std::move(rows));
  while (scan.Next()) {
    std::vector<Value> values(table.columns.size());
    for (size_t i = 0; i < values.size(); ++i) scan.Read(i, values[i]);
    out.emplace_back(scan.position(), std::move(values));
  }
  return out;
}

// Every table the statement removes rows from gets one writer, made when
// the first of its rows goes; a cascade's lookups see the rows removed so
// far through those writers' own trees.
class Remover {
 public:
  explicit Remover(jet::Database& db) : db_(db), allocator_(db) {}

  // Throws 3200 when removing the row would leave rows referring to
  // nothing, following cascades as far as they go.
  void Check(const jet::TableDefinition& table, const std::vector<Value>& row, int depth = 0) {
    if (!HasDependents(table)) return;
    Deeper(depth);
    for (const jet::Dependents& d : jet::CheckDeleteConstraints(db_, table, row)) {
      for (auto& [where, values] : ReadRows(db_, *d.table, d.rows)) {
        Check(*d.table, values, depth + 1);
      }
    }
  }

  // Removes the rows of a table no relationship ties other rows to;
  // returns how many were still there.
  size_t Remove(const std::shared_ptr<const jet::TableDefinition>& table,
                const std::vector<std::pair<jet::RowPointer, std::vector<Value>>>& rows) {
    return WriterFor(table).Delete(rows, [this] { Flush(true); }, kFlushEveryPages);
  }

  // Removes the row and what cascades from it; false when it was gone
  // already (a cascade removed it first).
  bool Remove(const std::shared_ptr<const jet::TableDefinition>& table, jet::RowPointer where,
              const std::vector<Value>& row, int depth = 0) {
    jet::TableWriter& writer = WriterFor(table);
    if (HasDependents(*table)) {
      Deeper(depth);
      auto find = [this](const jet::TableDefinition& t, size_t i, const jet::KeyBytes& key) {
        return WriterFor(db_.TableAt(t.page)).Find(i, key);
      };
      for (const jet::Dependents& d : jet::CheckDeleteConstraints(db_, *table, row, find)) {
        for (auto& [at, values] : ReadRows(db_, *d.table, d.rows)) {
          Remove(d.table, at, values, depth + 1);
        }
      }
    }
    return writer.Delete(where, row);
  }

  // Hands every writer's changes to the pager, and the pager's to the file
  // when enough wait (or always, with `now`).
  void Flush(bool now) {
    if (!now && db_.pager().pending_writes() <= kFlushEveryPages) return;
    for (auto& [page, writer] : writers_) writer->Finish();
    db_.pager().FlushWrites(false);
  }

 private:
  jet::TableWriter& WriterFor(std::shared_ptr<const jet::TableDefinition> table) {
    auto& writer = writers_[table->page];
    if (!writer) writer = std::make_unique<jet::TableWriter>(db_, allocator_, std::move(table));
    return *writer;
  }

  // Cascades chain through tables; a cycle of cascading relationships
  // meets rows already gone and ends, but a damaged file's loop must too.
  void Deeper(int depth) const {
    if (depth > 32) {
      throw JetFailure(kJetDatabaseCorrupt,
                       db_.path() + ": relationships cascade deletes more than 32 tables deep");
    }
  }

  jet::Database& db_;
  jet::PageAllocator allocator_;
  std::map<uint32_t, std::unique_ptr<jet::TableWriter>> writers_;
};

}  // namespace

StatementCounts RunDelete(jet::Database& db, const sql::DeleteStatement& s,
                          std::string_view statement) {
  auto table = TableOf(db, s.table, statement);
  std::optional<Condition> where;
  if (s.where) {
    where.emplace(*s.where, TableColumns(*table, std::string(statement)), std::string(statement));
  }
  std::vector<Value> row(table->columns.size());
  auto matches = [&](jet::TableScan& scan) {
    for (size_t i = 0; i < row.size(); ++i) scan.Read(i, row[i]);
    return !where || where->Holds(row);
  };

  db.pager().BeginDeferredWrites();
  Remover remover(db);
  if (HasDependents(*table)) {
    // Every row is checked before the first goes, so that a refusal leaves
    // the tables as they were.
    jet::TableScan scan(db.pager(), db.format(), *table);
    while (scan.Next()) {
      if (matches(scan)) remover.Check(*table, row);
    }
  }
  StatementCounts result;
  jet::TableScan scan(db.pager(), db.format(), *table);
  std::vector<std::pair<jet::RowPointer, std::vector<Value>>> batch;
  bool more = true;
  while (more) {
    // A batch is read before any of its rows goes; the rows left keep
    // their slots, so the scan goes on where it stopped.
    batch.clear();
    while (batch.size() < kRowsPerBatch && (more = scan.Next())) {
      if (matches(scan)) batch.emplace_back(scan.position(), row);
    }
    if (!HasDependents(*table)) {
      result.changed += int64_t(remover.Remove(table, batch));
    } else {
      for (const auto& [at, values] : batch) {
        if (remover.Remove(table, at, values)) ++result.changed;
      }
    }
    remover.Flush(false);
  }
  remover.Flush(true);
  db.Reload();
  return result;
}

}  // namespace act::db::exec
