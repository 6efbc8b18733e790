#include "tests/db/read_everything.h"

#include "db/jet/table/database.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/table/table_scan.h"

namespace act::db::testing {

ReadTotals ReadEverything(std::vector<uint8_t> bytes, const std::string& name) {
  ReadTotals totals;
  // A small cache, so that eviction is exercised too.
  jet::Database db(std::make_unique<jet::MemoryFile>(std::move(bytes), name), 8);
  for (const jet::CatalogEntry& entry : db.tables()) {
    auto table = db.TableAt(entry.tdef_page);
    ++totals.tables;
    jet::TableScan scan(db.pager(), db.format(), *table);
    while (scan.Next()) {
      ++totals.rows;
      for (size_t i = 0; i < table->columns.size(); ++i) scan.Get(i);
    }
    for (const jet::RealIndex& index : table->real_indexes) {
      jet::IndexReader reader(db.pager(), db.format(), *table, index);
      jet::KeyBytes first;
      bool have_first = false;
      reader.Walk([&](const jet::IndexEntry& e) {
        ++totals.index_entries;
        if (!have_first) first = e.key, have_first = true;
      });
      if (have_first) reader.Find(first);
    }
  }
  return totals;
}

}  // namespace act::db::testing
