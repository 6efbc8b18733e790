#include "db/jet/write/index_rebuild.h"

#include <algorithm>

#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page_source.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"

namespace act::db::jet {

void RebuildIndexes(Database& db, PageAllocator& allocator, const TableDefinition& table) {
  const Format& f = db.format();
  if (table.real_indexes.empty()) return;
  std::vector<std::vector<IndexEntry>> entries(table.real_indexes.size());
  {
    TableScan scan(db.pager(), f, table);
    std::vector<Value> row(table.columns.size());
    while (scan.Next()) {
      for (size_t i = 0; i < row.size(); ++i) scan.Read(i, row[i]);
      for (size_t n = 0; n < table.real_indexes.size(); ++n) {
        const RealIndex& index = table.real_indexes[n];
        if ((index.flags & kIndexIgnoreNulls) &&
            NullKeyColumns(table, index, row) == index.columns.size()) {
          continue;
        }
        entries[n].push_back({EncodeIndexKey(f, table, index, row), scan.position(), 0});
      }
    }
  }
  // Every old page is given back first, so that the new trees take the
  // lowest pages free, theirs among them.
  for (const RealIndex& index : table.real_indexes) {
    for (uint32_t page : ReadUsageMap(db.pager(), f, index.map)) allocator.FreePage(table, page);
  }
  for (size_t n = 0; n < table.real_indexes.size(); ++n) {
    const RealIndex& index = table.real_indexes[n];
    std::vector<IndexEntry>& sorted = entries[n];
    std::sort(sorted.begin(), sorted.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
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
    std::vector<IndexEntry>().swap(sorted);
  }
}

}  // namespace act::db::jet
