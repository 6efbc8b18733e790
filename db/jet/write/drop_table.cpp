#include "db/jet/write/drop_table.h"

#include <map>
#include <set>

#include "db/errors.h"
#include "db/jet/file/data_page.h"
#include "db/jet/file/page.h"
#include "db/jet/file/usage_map.h"
#include "db/jet/file/write_order.h"
#include "db/jet/table/catalog.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/write/table_writer.h"

namespace act::db::jet {

namespace {

// Removes the rows of `table` for which `doomed(scan)` holds.
template <typename Doomed>
void DeleteRows(Database& db, PageAllocator& allocator,
                std::shared_ptr<const TableDefinition> table, Doomed doomed) {
  std::vector<std::pair<RowPointer, std::vector<Value>>> rows;
  {
    TableScan scan(db.pager(), db.format(), *table);
    while (scan.Next()) {
      if (!doomed(scan)) continue;
      std::vector<Value> values(table->columns.size());
      for (size_t i = 0; i < values.size(); ++i) values[i] = scan.Get(i);
      rows.emplace_back(scan.position(), std::move(values));
    }
  }
  TableWriter writer(db, allocator, table);
  for (const auto& [where, values] : rows) writer.Delete(where, values);
  writer.Finish();
}

}  // namespace

void DropMapRows(Database& db, PageAllocator& allocator, const std::vector<MapRef>& maps) {
  const Format& format = db.format();
  std::map<uint32_t, std::vector<uint8_t>> rows_by_page;
  for (const MapRef& ref : maps) {
    if (ref.empty()) continue;
    const std::vector<uint32_t> storage = UsageMapStorage(db.pager(), format, ref);
    for (size_t i = 1; i < storage.size(); ++i) allocator.FreePage(storage[i]);  // bitmap pages
    rows_by_page[ref.page].push_back(ref.row);
  }
  for (auto& [page, rows] : rows_by_page) {
    PageRef current = db.pager().Get(page);
    CheckDataPage(*current, 0u);
    std::vector<uint8_t> image = current->bytes();
    current = nullptr;
    for (uint8_t row : rows) ReplaceDataRow(format, image, row, {}, kSlotDeleted | kSlotOverflow);
    bool live = false;
    const unsigned slots = LoadU16(&image[format.data_row_count]);
    for (unsigned i = 0; i < slots; ++i) {
      live |= !(LoadU16(&image[format.data_slots + 2 * i]) & kSlotDeleted);
    }
    db.pager().Write(page, std::move(image), kWriteMaps);
    if (!live) allocator.FreePage(page);
  }
}

bool InRelationship(Database& db, const std::string& table, const std::string& column) {
  auto relationships = db.Table("MSysRelationships");
  const int object = relationships->ColumnIndex("szObject");
  const int referenced = relationships->ColumnIndex("szReferencedObject");
  const int object_column = relationships->ColumnIndex("szColumn");
  const int referenced_column = relationships->ColumnIndex("szReferencedColumn");
  if (object < 0 || referenced < 0 || object_column < 0 || referenced_column < 0) {
    throw JetFailure(kJetDatabaseCorrupt, db.path() + ": MSysRelationships lacks its columns");
  }
  auto names = [&](TableScan& scan, int t, int c) {
    const Value name = scan.Get(size_t(t));
    if (!name.is_text() || !SameName(name.bytes(), table)) return false;
    if (column.empty()) return true;
    const Value col = scan.Get(size_t(c));
    return col.is_text() && SameName(col.bytes(), column);
  };
  TableScan scan(db.pager(), db.format(), *relationships);
  while (scan.Next()) {
    if (names(scan, object, object_column) || names(scan, referenced, referenced_column)) {
      return true;
    }
  }
  return false;
}

void DropTable(Database& db, const std::string& name) {
  const std::string& file = db.path();
  if (!db.format().is_jet3()) throw JetFailure(kJetOperationNotSupported, file + ": DROP in Jet 4");
  const CatalogEntry* entry = db.FindTable(name);
  if (!entry) throw JetFailure(kJetDropTableNotFound, file + ": '" + name + "'");
  if (entry->is_system()) {
    throw JetFailure(kJetOperationNotSupported, file + ": '" + name + "' is a system table");
  }
  const uint32_t tdef = entry->tdef_page;
  auto table = db.TableAt(tdef);
  bool related = InRelationship(db, name);
  for (const LogicalIndex& logical : table->logical_indexes) related |= logical.kind == kForeignKey;
  if (related) {
    throw JetFailure(kJetInRelationship,
                     file + ": table '" + name + "' is part of a relationship (drop it first)");
  }

  Pager& pager = db.pager();
  pager.BeginDeferredWrites();
  PageAllocator allocator(db);
  auto objects = db.Table("MSysObjects");
  const size_t id = SystemColumn(*objects, "Id"), parent = SystemColumn(*objects, "ParentId");
  DeleteRows(db, allocator, objects, [&](TableScan& scan) {
    return scan.Get(id) == Value::Long(int32_t(tdef)) &&
           scan.Get(parent) == Value::Long(kTablesContainerId);
  });
  auto aces = db.Table("MSysACEs");
  const size_t object = SystemColumn(*aces, "ObjectId");
  DeleteRows(db, allocator, aces,
             [&](TableScan& scan) { return scan.Get(object) == Value::Long(int32_t(tdef)); });
  // What no catalog row leads to any more may go.
  pager.FlushWrites(false);

  std::set<uint32_t> pages;
  std::vector<MapRef> maps = {table->owned_map, table->free_map};
  auto listed = [&](MapRef ref) {
    if (ref.empty()) return;
    for (uint32_t page : ReadUsageMap(pager, db.format(), ref)) pages.insert(page);
  };
  listed(table->owned_map);
  for (const RealIndex& index : table->real_indexes) {
    listed(index.map);
    maps.push_back(index.map);
  }
  for (const LongValueMaps& lv : table->long_value_maps) {
    listed(lv.owned);
    maps.push_back(lv.owned);
    maps.push_back(lv.free);
  }
  for (uint32_t page : pages) allocator.FreePage(page);
  DropMapRows(db, allocator, maps);
  for (uint32_t page : table->pages) allocator.FreePage(page);
  pager.FlushWrites(false);
  db.Reload();
}

}  // namespace act::db::jet
