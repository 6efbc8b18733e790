#include "db/jet/write/index_rebuild.h"

#include <algorithm>

#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page_source.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"

namespace act::db::jet {

namespace {

// The leaf entries of one index over the table's rows, in index order:
// only the index's own columns are decoded.
std::vector<IndexEntry> SortedEntries(Database& db, const TableDefinition& table,
                                      const RealIndex& index) {
  std::vector<size_t> key_columns;
  for (const IndexColumn& ic : index.columns) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i].number == ic.column_number) key_columns.push_back(i);
    }
  }
  std::vector<IndexEntry> entries;
  TableScan scan(db.pager(), db.format(), table);
  std::vector<Value> row(table.columns.size());
  while (scan.Next()) {
    for (size_t i : key_columns) scan.Read(i, row[i]);
    if ((index.flags & kIndexIgnoreNulls) &&
        NullKeyColumns(table, index, row) == index.columns.size()) {
      continue;
    }
    entries.push_back({EncodeIndexKey(db.format(), table, index, row), scan.position(), 0});
  }
  std::sort(entries.begin(), entries.end(),
            [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
  return entries;
}

}  // namespace

void RebuildIndexes(Database& db, PageAllocator& allocator, const TableDefinition& table,
                    const std::function<void()>& after_each) {
  const Format& f = db.format();
  // Every old page is given back first, so that the new trees take the
  // lowest pages free, theirs among them.
  for (const RealIndex& index : table.real_indexes) {
    for (uint32_t page : ReadUsageMap(db.pager(), f, index.map)) allocator.FreePage(table, page);
  }
  // One index at a time: only its entries are held.
  for (const RealIndex& index : table.real_indexes) {
    const std::vector<IndexEntry> sorted = SortedEntries(db, table, index);
    uint32_t distinct = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
      distinct += i == 0 || sorted[i].key != sorted[i - 1].key;
    }
    IndexPageSource pages = IndexPagesOf(allocator, table, index);
    const uint32_t root = BuildIndexTree(db.pager(), f, table.page, sorted, pages);
    WriteIndexRoot(db, table, index, root);
    const size_t counters = f.tdef_index_counters + index.number * f.tdef_index_counter_size;
    WriteDefinitionU32(db, table, counters, uint32_t(sorted.size()));
    WriteDefinitionU32(db, table, counters + 4, distinct);
    if (after_each) after_each();
  }
}

}  // namespace act::db::jet
