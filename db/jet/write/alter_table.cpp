#include "db/jet/write/alter_table.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/file/page.h"
#include "db/jet/file/usage_map.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/write/drop_table.h"
#include "db/jet/write/tdef_writer.h"

namespace act::db::jet {

namespace {

// Where the column descriptors start: after the per-index counters.
size_t ColumnsAt(const Format& f, const TableDefinition& table) {
  return f.tdef_index_counters + table.real_indexes.size() * f.tdef_index_counter_size;
}

void CheckJet3(Database& db) {
  if (!db.format().is_jet3()) {
    throw JetFailure(kJetOperationNotSupported, db.path() + ": ALTER TABLE in Jet 4");
  }
}

}  // namespace

void AddColumn(Database& db, const std::string& table_name, const NewColumn& column) {
  CheckJet3(db);
  const Format& f = db.format();
  const std::string where = db.path() + ": table '" + table_name + "'";
  auto table = db.Table(table_name);
  if (table->FindColumn(column.name)) {
    throw JetFailure(kJetFieldExists, where + " already has a field '" + column.name + "'");
  }
  if (table->max_columns >= 255 || table->var_columns >= 255) {
    throw JetFailure(kJetOperationNotSupported, where + " takes no more columns");
  }
  if (column.required) {
    // The rows already there would hold Nulls in it.
    throw JetFailure(kJetOperationNotSupported, where + ": NOT NULL for a column added");
  }
  const int size = FixedSize(column.type);
  uint16_t fixed_end = 0;
  for (const ColumnDef& c : table->columns) {
    if (!c.is_fixed() || c.type == kTypeBoolean) continue;
    const int s = FixedSize(c.type);
    fixed_end = std::max<uint16_t>(fixed_end, uint16_t(c.fixed_offset + (s > 0 ? s : c.length)));
  }
  auto name = EncodeName(column.name);
  if (!name) throw JetFailure(kJetInvalidName, where + ": '" + column.name + "' is no valid name");

  db.pager().BeginDeferredWrites();
  PageAllocator allocator(db);
  std::vector<uint8_t> def = LoadTableDefinition(db, *table);
  const uint16_t number = table->max_columns;
  // From the back, so that the offsets in front stay valid.
  if (column.type == kTypeMemo || column.type == kTypeOle) {
    std::vector<uint8_t> maps;
    AppendU16(maps, number);
    AppendU32(maps, AddMapRow(db, allocator, *table).word());
    AppendU32(maps, AddMapRow(db, allocator, *table).word());
    def.insert(def.end() - 2, maps.begin(), maps.end());  // before the FF FF
  }
  def.insert(def.begin() + table->real_indexes_offset, name->begin(), name->end());
  std::vector<uint8_t> descriptor;
  AppendColumnDescriptor(db.header(), column, number, table->var_columns, fixed_end, descriptor);
  const size_t at = ColumnsAt(f, *table) + table->columns.size() * f.column_size;
  def.insert(def.begin() + at, descriptor.begin(), descriptor.end());
  StoreU16(&def[f.tdef_max_columns], uint16_t(number + 1));
  StoreU16(&def[f.tdef_columns], uint16_t(table->columns.size() + 1));
  if (size < 0) StoreU16(&def[f.tdef_var_columns], uint16_t(table->var_columns + 1));
  StoreU32(&def[8], uint32_t(def.size()));
  StoreTableDefinition(db, allocator, *table, std::move(def));
  db.pager().FlushWrites(false);
  db.Reload();
}

void DropColumn(Database& db, const std::string& table_name, const std::string& column_name) {
  CheckJet3(db);
  const Format& f = db.format();
  const std::string where = db.path() + ": table '" + table_name + "'";
  auto table = db.Table(table_name);
  const ColumnDef* column = table->FindColumn(column_name);
  if (!column) throw JetFailure(kJetItemNotFound, where + " has no field '" + column_name + "'");
  if (InRelationship(db, table_name, column->name)) {
    throw JetFailure(kJetInRelationship, where + ": field '" + column->name +
                                             "' is part of a relationship (drop it first)");
  }
  bool indexed = table->columns.size() == 1;
  for (const RealIndex& index : table->real_indexes) {
    for (const IndexColumn& ic : index.columns) indexed |= ic.column_number == column->number;
  }
  if (indexed) {
    throw JetFailure(kJetFieldInIndex, where + ": field '" + column->name +
                                           "' is part of an index or the table's only field");
  }

  db.pager().BeginDeferredWrites();
  PageAllocator allocator(db);
  std::vector<uint8_t> def = LoadTableDefinition(db, *table);
  const size_t columns_at = ColumnsAt(f, *table);
  const size_t count = table->columns.size();
  size_t stored = count;  // the descriptor's place among those stored
  for (size_t k = 0; k < count; ++k) {
    if (LoadU16(&def[columns_at + k * f.column_size + f.column_number]) == column->number) {
      stored = k;
    }
  }
  if (stored == count) {
    throw JetFailure(kJetDatabaseCorrupt, where + ": the column's descriptor is missing");
  }
  // From the back: the long-value maps, the name, the descriptor.
  for (const LongValueMaps& lv : table->long_value_maps) {
    if (lv.column_number != column->number) continue;
    for (size_t at = table->long_value_maps_offset; at + 10 <= def.size(); at += 10) {
      if (LoadU16(&def[at]) != lv.column_number) continue;
      def.erase(def.begin() + at, def.begin() + at + 10);
      break;
    }
    if (!lv.owned.empty()) {
      for (uint32_t page : ReadUsageMap(db.pager(), f, lv.owned)) allocator.FreePage(page);
    }
    DropMapRows(db, allocator, {lv.owned, lv.free});
  }
  size_t name_at = columns_at + count * f.column_size;
  for (size_t k = 0; k < stored; ++k) name_at += 1 + def[name_at];
  def.erase(def.begin() + name_at, def.begin() + name_at + 1 + def[name_at]);
  const size_t at = columns_at + stored * f.column_size;
  def.erase(def.begin() + at, def.begin() + at + f.column_size);
  StoreU16(&def[f.tdef_columns], uint16_t(count - 1));
  StoreU32(&def[8], uint32_t(def.size()));
  StoreTableDefinition(db, allocator, *table, std::move(def));
  db.pager().FlushWrites(false);
  db.Reload();
}

}  // namespace act::db::jet
