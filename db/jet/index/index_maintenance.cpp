#include "db/jet/index/index_maintenance.h"

#include "db/jet/table/page_allocator.h"
#include "db/jet/index/table_indexes.h"

namespace act::db::jet {

void InsertIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where) {
  PageAllocator allocator(db);
  TableIndexes indexes(db, allocator, table);
  indexes.Insert(row, where);
  indexes.WriteChanges();
}

void RemoveIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where) {
  PageAllocator allocator(db);
  TableIndexes indexes(db, allocator, table);
  indexes.Remove(row, where);
  indexes.WriteChanges();
}

}  // namespace act::db::jet
