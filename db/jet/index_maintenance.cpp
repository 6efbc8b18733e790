#include "db/jet/index_maintenance.h"

#include "db/errors.h"
#include "db/jet/index_key.h"
#include "db/jet/index_page_source.h"
#include "db/jet/index_tree.h"
#include "db/jet/tdef_patch.h"

namespace act::db::jet {

namespace {

// An index with "ignore nulls" lists no row whose key columns are all Null.
bool Skipped(const TableDefinition& table, const RealIndex& index, const std::vector<Value>& row) {
  if (!(index.flags & kIndexIgnoreNulls)) return false;
  for (const IndexColumn& ic : index.columns) {
    for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
      if (table.columns[i].number == ic.column_number && !row[i].is_null()) return false;
    }
  }
  return true;
}

}  // namespace

void InsertIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where) {
  for (const RealIndex& index : table.real_indexes) {
    if (Skipped(table, index, row)) continue;
    KeyBytes key = EncodeIndexKey(db.format(), table, index, row);
    IndexState state = ReadIndexState(db, table, index);
    IndexTree tree(db.pager(), db.format(), table.page, state.root,
                   IndexPagesOf(db, table, index));
    bool new_key = tree.Insert({key, where, 0});
    if (tree.root() != state.root) WriteIndexRoot(db, table, index, tree.root());
    if (new_key) WriteIndexCounterB(db, table, index, state.counter_b + 1);
  }
}

void RemoveIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where) {
  for (const RealIndex& index : table.real_indexes) {
    if (Skipped(table, index, row)) continue;
    KeyBytes key = EncodeIndexKey(db.format(), table, index, row);
    IndexState state = ReadIndexState(db, table, index);
    IndexTree tree(db.pager(), db.format(), table.page, state.root,
                   IndexPagesOf(db, table, index));
    if (!tree.Remove({key, where, 0})) {
      throw PageFailure(db.path(), state.root,
                        "index " + std::to_string(index.number) + " of table at page " +
                            std::to_string(table.page) + " has no entry for row " +
                            std::to_string(where.page) + ":" + std::to_string(where.row));
    }
    if (tree.root() != state.root) WriteIndexRoot(db, table, index, tree.root());
  }
}

}  // namespace act::db::jet
