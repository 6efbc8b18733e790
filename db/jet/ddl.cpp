#include "db/jet/ddl.h"

#include "db/errors.h"
#include "db/jet/catalog.h"
#include "db/jet/data_page.h"
#include "db/jet/data_page_writer.h"
#include "db/jet/index_creation.h"
#include "db/jet/page_allocator.h"
#include "db/jet/property_blob_writer.h"
#include "db/jet/row_codec.h"
#include "db/jet/table_scan.h"
#include "db/jet/table_writer.h"
#include "db/jet/text.h"
#include "db/jet/value_conversion.h"
#include "db/jet/write_order.h"

namespace act::db::jet {

namespace {

constexpr size_t kInlineMapRow = 133;  // type, first page, 128 bitmap bytes
constexpr uint32_t kAccessEntryMask = 1048319;  // ACM of the entries tables inherit

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutName(std::vector<uint8_t>& b, const std::string& utf8, const std::string& file) {
  auto cp = Utf8ToCp1252(utf8);
  if (!cp || cp->empty() || cp->size() > 64) {
    throw JetFailure(kJetInvalidName, file + ": '" + utf8 + "' is not a valid name");
  }
  b.push_back(uint8_t(cp->size()));
  b.insert(b.end(), cp->begin(), cp->end());
}
uint32_t MapWord(MapRef ref) { return ref.row | (ref.page << 8); }

}  // namespace

uint32_t CreateTable(Database& db, const std::string& name, const std::vector<NewColumn>& columns,
                     const std::vector<NewIndex>& indexes) {
  const Format& format = db.format();
  const std::string& file = db.path();
  if (!format.is_jet3()) throw JetFailure(kJetOperationNotSupported, file + ": CREATE TABLE in Jet 4");
  if (db.FindTable(name)) throw JetFailure(kJetTableExists, file + ": '" + name + "'");
  if (columns.empty() || columns.size() > 255 || indexes.size() > 32) {
    throw JetFailure(kJetOperationNotSupported,
                     file + ": a table of " + std::to_string(columns.size()) + " columns and " +
                         std::to_string(indexes.size()) + " indexes");
  }
  size_t long_values = 0;
  for (const NewColumn& c : columns) long_values += (c.type == kTypeMemo || c.type == kTypeOle);
  size_t map_rows = 2 + indexes.size() + 2 * long_values;

  Pager& pager = db.pager();
  pager.BeginDeferredWrites();
  PageAllocator allocator(db);
  uint32_t tdef = allocator.AllocateUnownedPage();
  // The maps: owned, free, one per index, owned+free per long-value column,
  // on as many map pages as they need.
  std::vector<MapRef> maps;
  {
    const std::vector<uint8_t> empty_map(kInlineMapRow, 0);
    uint32_t page = 0;
    std::vector<uint8_t> image;
    for (size_t i = 0; i < map_rows; ++i) {
      if (page == 0 || !DataPageFits(format, image, empty_map.size())) {
        if (page != 0) pager.Write(page, std::move(image), kWriteRows);
        page = allocator.AllocateUnownedPage();
        image = NewDataPage(format, 0);
      }
      maps.push_back({uint8_t(AppendDataRow(format, image, empty_map)), page});
    }
    pager.Write(page, std::move(image), kWriteRows);
  }

  // Fixed offsets in column order (booleans take none), var indexes 0..n-1.
  uint16_t fixed_at = 0, var_count = 0;
  std::vector<uint8_t> def = {0x02, 0x01, 'V', 'C'};
  Put32(def, 0);  // next TDEF page
  Put32(def, 0);  // length, patched below
  Put32(def, 0);  // rows
  Put32(def, 0);  // last autonumber
  def.push_back(0x4E);
  for (const NewColumn& c : columns) var_count += FixedSize(c.type) < 0;
  Put16(def, uint16_t(columns.size()));
  Put16(def, var_count);
  Put16(def, uint16_t(columns.size()));
  Put32(def, uint32_t(indexes.size()));
  Put32(def, uint32_t(indexes.size()));
  Put32(def, MapWord(maps[0]));
  Put32(def, MapWord(maps[1]));
  for (size_t i = 0; i < indexes.size(); ++i) {
    Put32(def, 0);
    Put32(def, 0);
  }
  uint16_t var_index = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const NewColumn& c = columns[i];
    int size = FixedSize(c.type);
    bool fixed = size >= 0;
    def.push_back(c.type);
    Put16(def, uint16_t(i));
    Put16(def, fixed ? var_index : var_index++);
    Put16(def, uint16_t(i));
    Put16(def, 1);
    Put16(def, db.header().sort_order);
    Put16(def, db.header().code_page);
    def.push_back(uint8_t((fixed ? 0x01 : 0) | 0x02 | (c.autonumber ? 0x04 : 0)));
    Put16(def, fixed ? fixed_at : 0);
    uint16_t length = fixed ? uint16_t(size == 0 ? 1 : size)
                            : (c.type == kTypeMemo || c.type == kTypeOle ? 0 : c.length);
    Put16(def, length);
    if (fixed) fixed_at = uint16_t(fixed_at + size);
  }
  for (const NewColumn& c : columns) PutName(def, c.name, file);
  std::vector<uint32_t> roots;
  for (size_t i = 0; i < indexes.size(); ++i) roots.push_back(allocator.AllocateUnownedPage());
  for (size_t i = 0; i < indexes.size(); ++i) {
    const NewIndex& index = indexes[i];
    for (size_t slot = 0; slot < 10; ++slot) {
      if (slot < index.columns.size()) {
        Put16(def, index.columns[slot].first);
        def.push_back(index.columns[slot].second ? 0x01 : 0x00);
      } else {
        Put16(def, 0xFFFF);
        def.push_back(0x00);
      }
    }
    Put32(def, MapWord(maps[2 + i]));
    Put32(def, roots[i]);
    def.push_back(index.primary ? 0x09 : index.unique ? 0x01 : 0x00);
  }
  for (size_t i = 0; i < indexes.size(); ++i) {
    Put32(def, uint32_t(i));
    Put32(def, uint32_t(i));
    def.push_back(0);
    Put32(def, 0xFFFFFFFF);
    Put32(def, 0);
    def.push_back(0x04);
    def.push_back(0x04);
    def.push_back(indexes[i].primary ? 1 : 0);
  }
  for (const NewIndex& index : indexes) PutName(def, index.name, file);
  size_t lv_row = 2 + indexes.size();
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].type != kTypeMemo && columns[i].type != kTypeOle) continue;
    Put16(def, uint16_t(i));
    Put32(def, MapWord(maps[lv_row++]));
    Put32(def, MapWord(maps[lv_row++]));
  }
  Put16(def, 0xFFFF);
  uint32_t length = uint32_t(def.size());
  for (int i = 0; i < 4; ++i) def[8 + i] = uint8_t(length >> (8 * i));
  // A definition longer than a page goes on linked continuation pages.
  TableDefinition placed;
  placed.page = tdef;
  placed.pages = {tdef};
  StoreTableDefinition(db, allocator, placed, std::move(def));
  for (size_t i = 0; i < indexes.size(); ++i) {
    std::vector<uint8_t> leaf(format.page_size, 0);
    leaf[0] = kPageIndexLeaf;
    leaf[1] = 0x01;
    uint16_t free = uint16_t(format.page_size - format.index_first_entry);
    leaf[2] = uint8_t(free);
    leaf[3] = uint8_t(free >> 8);
    for (int k = 0; k < 4; ++k) leaf[4 + k] = uint8_t(tdef >> (8 * k));
    pager.Write(roots[i], std::move(leaf), kWriteRows);
    allocator.maps().Set(maps[2 + i], roots[i], true);
  }
  // Everything the catalog row will point at is on disk before the row.
  pager.FlushWrites();

  // The catalog row, then the table's access entries.
  auto objects = db.Table("MSysObjects");
  std::vector<Value> row(objects->columns.size());
  Value owner = Value::Binary(std::string("\x03\x01", 2));
  {
    TableScan scan(pager, format, *objects);
    const size_t n = SystemColumn(*objects, "Name"), o = SystemColumn(*objects, "Owner");
    while (scan.Next()) {
      if (scan.Get(n) == Value::Text("MSysDb") && !scan.Get(o).is_null()) owner = scan.Get(o);
    }
  }
  const LocalTime t = db.clock().Now();
  const double now = JetDate(t.year, t.month, t.day, t.hour, t.minute, t.second);
  row[SystemColumn(*objects, "Id")] = Value::Long(int32_t(tdef));
  row[SystemColumn(*objects, "ParentId")] = Value::Long(kTablesContainerId);
  row[SystemColumn(*objects, "Name")] = Value::Text(name);
  row[SystemColumn(*objects, "Type")] = Value::Integer(kObjectTypeTable);
  row[SystemColumn(*objects, "DateCreate")] = Value::DateTime(now);
  row[SystemColumn(*objects, "DateUpdate")] = Value::DateTime(now);
  row[SystemColumn(*objects, "Owner")] = owner;
  row[SystemColumn(*objects, "Flags")] = Value::Long(0);
  std::vector<std::string> required;
  for (const NewColumn& c : columns) {
    if (c.required) required.push_back(c.name);
  }
  if (!required.empty()) {
    row[SystemColumn(*objects, "LvProp")] = Value::Binary(EncodeRequiredProperties(required));
  }
  auto aces = db.Table("MSysACEs");
  std::vector<std::vector<Value>> inherited;
  {
    const size_t object = SystemColumn(*aces, "ObjectId"), sid = SystemColumn(*aces, "SID"),
                 inheritable = SystemColumn(*aces, "FInheritable");
    TableScan scan(pager, format, *aces);
    while (scan.Next()) {
      if (!(scan.Get(object) == Value::Long(kTablesContainerId))) continue;
      if (!(scan.Get(inheritable) == Value::Boolean(true))) continue;
      if (scan.Get(sid) == Value::Binary(std::string("\x02\x04", 2))) continue;
      std::vector<Value> ace(aces->columns.size());
      ace[object] = Value::Long(int32_t(tdef));
      ace[sid] = scan.Get(sid);
      ace[SystemColumn(*aces, "ACM")] = Value::Long(kAccessEntryMask);
      ace[inheritable] = Value::Boolean(false);
      inherited.push_back(ace);
    }
  }
  {
    TableWriter ace_writer(db, allocator, aces);
    for (auto& ace : inherited) ace_writer.Append(ace);
    ace_writer.Finish();
    TableWriter catalog(db, allocator, objects);
    catalog.Append(row);
    catalog.Finish();
  }
  pager.FlushWrites();
  db.Reload();
  return tdef;
}

}  // namespace act::db::jet
