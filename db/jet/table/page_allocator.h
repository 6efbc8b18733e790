// Page allocation for the writer: the one place that hands out and takes
// back pages, so that the global map (page 1, a set bit = free page) and the
// usage maps of tables, indexes and long-value columns always agree about
// who owns a page.
//
// Allocation reuses the lowest page the global map marks free inside the
// file, otherwise appends one. The page's new image is written by the
// caller AFTER allocation; the maps are written here at once, so a reader
// that stops between the two sees an owned page with old bytes, never a
// reference to a page it cannot read (pages are only referenced once the
// caller has written them).
#pragma once

#include <cstdint>

#include "db/jet/table/database.h"
#include "db/jet/table/table_definition.h"
#include "db/jet/file/usage_map_writer.h"

namespace act::db::jet {

class PageAllocator {
 public:
  explicit PageAllocator(Database& db);

  // A page for the table's rows: added to its owned and free-space maps.
  uint32_t AllocateDataPage(const TableDefinition& table);
  // A page for real index `real_index` (position in table.real_indexes):
  // added to that index's own usage map.
  uint32_t AllocateIndexPage(const TableDefinition& table, int real_index);
  // An LVAL page for the memo/OLE column with this column number: added to
  // that column's owned and free maps.
  uint32_t AllocateLongValuePage(const TableDefinition& table, int column);
  // A page owned by no map (TDEF, usage-map pages of a new table).
  uint32_t AllocateUnownedPage();

  // Marks `page` free in the global map and removes it from the maps of
  // `table` that list it (owned, free, index and long-value maps).
  void FreePage(const TableDefinition& table, uint32_t page);
  // The same for a page no table map lists.
  void FreePage(uint32_t page);

  // Drops a full data page from the table's free-space map (and an LVAL
  // page from its column's free map).
  void MarkPageFull(const TableDefinition& table, uint32_t page);
  void MarkLongValuePageFull(const TableDefinition& table, int column, uint32_t page);

  // Map editing, for writers that keep other maps (the free-space map's
  // candidates, the consistency checker's tests).
  UsageMapWriter& maps() { return maps_; }

 private:
  uint32_t TakePage();
  uint32_t Reserve();

  Database& db_;
  UsageMapWriter maps_;
  uint32_t search_from_ = 2;  // no free page lies below this one
};

}  // namespace act::db::jet
