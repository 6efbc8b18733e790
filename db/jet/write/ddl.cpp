#include "db/jet/write/ddl.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/table/catalog.h"
#include "db/jet/file/data_page.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/property_blob_writer.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/write/tdef_writer.h"
#include "db/jet/table/value_conversion.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr uint32_t kAccessEntryMask = 1048319;  // ACM of the entries tables inherit

bool IsLongValue(const NewColumn& c) { return c.type == kTypeMemo || c.type == kTypeOle; }

void AppendName(std::vector<uint8_t>& def, const std::string& utf8, const std::string& file) {
  auto name = EncodeName(utf8);
  if (!name || name->size() == 1) {
    throw JetFailure(kJetInvalidName, file + ": '" + utf8 + "' is not a valid name");
  }
  def.insert(def.end(), name->begin(), name->end());
}

// The column descriptors: fixed offsets in column order (booleans take
// none), var indexes 0..n-1.
void AppendColumns(const DatabaseHeader& header, const std::vector<NewColumn>& columns,
                   std::vector<uint8_t>& def) {
  uint16_t fixed_at = 0, var_index = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const NewColumn& c = columns[i];
    const int size = FixedSize(c.type);
    AppendColumnDescriptor(header, c, uint16_t(i), var_index, fixed_at, def);
    if (size >= 0) fixed_at = uint16_t(fixed_at + size);
    else ++var_index;
  }
}

// The table's definition as Access lays it out. `maps` are the owned and
// free maps, one per index, then owned and free per long-value column;
// `roots` the indexes' root pages.
std::vector<uint8_t> EncodeDefinition(const Database& db, const std::vector<NewColumn>& columns,
                                      const std::vector<NewIndex>& indexes,
                                      const std::vector<MapRef>& maps,
                                      const std::vector<uint32_t>& roots) {
  std::vector<uint8_t> def = {0x02, 0x01, 'V', 'C'};
  AppendU32(def, 0);  // next TDEF page
  AppendU32(def, 0);  // length, set at the end
  AppendU32(def, 0);  // rows
  AppendU32(def, 0);  // last autonumber
  def.push_back(0x4E);
  uint16_t var_count = 0;
  for (const NewColumn& c : columns) var_count += FixedSize(c.type) < 0;
  AppendU16(def, uint16_t(columns.size()));
  AppendU16(def, var_count);
  AppendU16(def, uint16_t(columns.size()));
  AppendU32(def, uint32_t(indexes.size()));
  AppendU32(def, uint32_t(indexes.size()));
  AppendU32(def, maps[0].word());
  AppendU32(def, maps[1].word());
  for (size_t i = 0; i < indexes.size(); ++i) {
    AppendU32(def, 0);  // the index's counters
    AppendU32(def, 0);
  }
  AppendColumns(db.header(), columns, def);
  for (const NewColumn& c : columns) AppendName(def, c.name, db.path());
  for (size_t i = 0; i < indexes.size(); ++i) {
    RealIndex real;
    for (const auto& [column, ascending] : indexes[i].columns) {
      real.columns.push_back({column, ascending});
    }
    real.map = maps[2 + i];
    real.root = roots[i];
    real.flags = indexes[i].primary  ? kIndexUnique | kIndexRequired
                 : indexes[i].unique ? kIndexUnique
                                     : 0;
    const std::vector<uint8_t> bytes = EncodeRealIndex(db.format(), real);
    def.insert(def.end(), bytes.begin(), bytes.end());
  }
  for (size_t i = 0; i < indexes.size(); ++i) {
    const std::vector<uint8_t> bytes =
        EncodeLogicalIndex(uint32_t(i), uint32_t(i), indexes[i].primary);
    def.insert(def.end(), bytes.begin(), bytes.end());
  }
  for (const NewIndex& index : indexes) AppendName(def, index.name, db.path());
  size_t lv_map = 2 + indexes.size();
  for (size_t i = 0; i < columns.size(); ++i) {
    if (!IsLongValue(columns[i])) continue;
    AppendU16(def, uint16_t(i));
    AppendU32(def, maps[lv_map++].word());
    AppendU32(def, maps[lv_map++].word());
  }
  AppendU16(def, 0xFFFF);
  StoreU32(&def[8], uint32_t(def.size()));
  return def;
}

// The table's row in MSysObjects: its owner the database's, its dates the
// clock's, its Required columns in its property blob.
std::vector<Value> CatalogRow(Database& db, const TableDefinition& objects, const std::string& name,
                              uint32_t tdef, const std::vector<NewColumn>& columns) {
  std::vector<Value> row(objects.columns.size());
  Value owner = Value::Binary(std::string("\x03\x01", 2));
  {
    TableScan scan(db.pager(), db.format(), objects);
    const size_t n = SystemColumn(objects, "Name"), o = SystemColumn(objects, "Owner");
    while (scan.Next()) {
      if (scan.Get(n) == Value::Text("MSysDb") && !scan.Get(o).is_null()) owner = scan.Get(o);
    }
  }
  const LocalTime t = db.clock().Now();
  const double now = JetDate(t.year, t.month, t.day, t.hour, t.minute, t.second);
  row[SystemColumn(objects, "Id")] = Value::Long(int32_t(tdef));
  row[SystemColumn(objects, "ParentId")] = Value::Long(kTablesContainerId);
  row[SystemColumn(objects, "Name")] = Value::Text(name);
  row[SystemColumn(objects, "Type")] = Value::Integer(kObjectTypeTable);
  row[SystemColumn(objects, "DateCreate")] = Value::DateTime(now);
  row[SystemColumn(objects, "DateUpdate")] = Value::DateTime(now);
  row[SystemColumn(objects, "Owner")] = owner;
  row[SystemColumn(objects, "Flags")] = Value::Long(0);
  std::vector<std::string> required;
  for (const NewColumn& c : columns) {
    if (c.required) required.push_back(c.name);
  }
  if (!required.empty()) {
    row[SystemColumn(objects, "LvProp")] = Value::Binary(EncodeRequiredProperties(required));
  }
  return row;
}

// The table's rows in MSysACEs: the entries the Tables container hands
// down, but the one of SID 02 04.
std::vector<std::vector<Value>> InheritedAccessEntries(Database& db, const TableDefinition& aces,
                                                       uint32_t tdef) {
  std::vector<std::vector<Value>> inherited;
  const size_t object = SystemColumn(aces, "ObjectId"), sid = SystemColumn(aces, "SID"),
               inheritable = SystemColumn(aces, "FInheritable");
  TableScan scan(db.pager(), db.format(), aces);
  while (scan.Next()) {
    if (!(scan.Get(object) == Value::Long(kTablesContainerId))) continue;
    if (!(scan.Get(inheritable) == Value::Boolean(true))) continue;
    if (scan.Get(sid) == Value::Binary(std::string("\x02\x04", 2))) continue;
    std::vector<Value> ace(aces.columns.size());
    ace[object] = Value::Long(int32_t(tdef));
    ace[sid] = scan.Get(sid);
    ace[SystemColumn(aces, "ACM")] = Value::Long(kAccessEntryMask);
    ace[inheritable] = Value::Boolean(false);
    inherited.push_back(ace);
  }
  return inherited;
}

}  // namespace

void AppendColumnDescriptor(const DatabaseHeader& header, const NewColumn& c, uint16_t number,
                            uint16_t var_index, uint16_t fixed_offset, std::vector<uint8_t>& def) {
  const int size = FixedSize(c.type);
  const bool fixed = size >= 0;
  def.push_back(c.type);
  AppendU16(def, number);
  AppendU16(def, var_index);
  AppendU16(def, number);
  AppendU16(def, 1);
  AppendU16(def, header.sort_order);
  AppendU16(def, header.code_page);
  // 0x02: every column of Access's files carries it.
  def.push_back(
      uint8_t((fixed ? kColumnFixed : 0) | 0x02 | (c.autonumber ? kColumnAutonumber : 0)));
  AppendU16(def, fixed ? fixed_offset : 0);
  AppendU16(def, fixed ? uint16_t(size == 0 ? 1 : size) : IsLongValue(c) ? 0 : c.length);
}

std::vector<MapRef> AddEmptyMaps(Database& db, PageAllocator& allocator, size_t count) {
  const Format& format = db.format();
  const std::vector<uint8_t> empty_map(5 + format.inline_map_bytes, 0);  // inline, first page 0
  std::vector<MapRef> maps;
  uint32_t page = 0;
  std::vector<uint8_t> image;
  for (size_t i = 0; i < count; ++i) {
    if (page == 0 || !DataPageFits(format, image, empty_map.size())) {
      if (page != 0) db.pager().Write(page, std::move(image), kWriteRows);
      page = allocator.AllocateUnownedPage();
      image = NewDataPage(format, 0);
    }
    maps.push_back({uint8_t(AppendDataRow(format, image, empty_map)), page});
  }
  db.pager().Write(page, std::move(image), kWriteRows);
  return maps;
}

uint32_t CreateTable(Database& db, const std::string& name, const std::vector<NewColumn>& columns,
                     const std::vector<NewIndex>& indexes) {
  const Format& format = db.format();
  const std::string& file = db.path();
  if (!format.is_jet3()) {
    throw JetFailure(kJetOperationNotSupported, file + ": CREATE TABLE in Jet 4");
  }
  if (db.FindTable(name)) throw JetFailure(kJetTableExists, file + ": '" + name + "'");
  if (columns.empty() || columns.size() > 255 || indexes.size() > 32) {
    throw JetFailure(kJetOperationNotSupported,
                     file + ": a table of " + std::to_string(columns.size()) + " columns and " +
                         std::to_string(indexes.size()) + " indexes");
  }
  const size_t long_values = size_t(std::count_if(columns.begin(), columns.end(), IsLongValue));

  Pager& pager = db.pager();
  pager.BeginDeferredWrites();
  PageAllocator allocator(db);
  const uint32_t tdef = allocator.AllocateUnownedPage();
  const std::vector<MapRef> maps =
      AddEmptyMaps(db, allocator, 2 + indexes.size() + 2 * long_values);
  std::vector<uint32_t> roots;
  for (size_t i = 0; i < indexes.size(); ++i) roots.push_back(allocator.AllocateUnownedPage());
  // A definition longer than a page goes on linked continuation pages.
  TableDefinition placed;
  placed.page = tdef;
  placed.pages = {tdef};
  StoreTableDefinition(db, allocator, placed, EncodeDefinition(db, columns, indexes, maps, roots));
  for (size_t i = 0; i < indexes.size(); ++i) {
    IndexPage root;  // an empty leaf
    root.number = roots[i];
    pager.Write(roots[i], EncodeIndexPage(format, tdef, root, file), kWriteRows);
    allocator.maps().Set(maps[2 + i], roots[i], true);
  }
  // Everything the catalog row will point at is on disk before the row.
  pager.FlushWrites();

  auto objects = db.Table("MSysObjects");
  std::vector<Value> row = CatalogRow(db, *objects, name, tdef, columns);
  auto aces = db.Table("MSysACEs");
  std::vector<std::vector<Value>> inherited = InheritedAccessEntries(db, *aces, tdef);
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
