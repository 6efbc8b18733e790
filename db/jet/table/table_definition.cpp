#include "db/jet/table/table_definition.h"

#include <algorithm>
#include <set>

#include "db/jet/file/data_page.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

// Reads the name lists of a TDEF: u8 length + code-page bytes (Jet 3) or
// u16 byte length + UTF-16LE (Jet 4).
std::string ReadName(const Page& def, const Format& format, size_t& pos) {
  if (format.names_utf16) {
    size_t n = def.U16(pos);
    auto bytes = def.Bytes(pos + 2, n);
    pos += 2 + n;
    return Utf16LeToUtf8(bytes);
  }
  size_t n = def.U8(pos);
  auto bytes = def.Bytes(pos + 1, n);
  pos += 1 + n;
  return Cp1252ToUtf8(bytes);
}

// Concatenates the TDEF chain into one buffer: the whole first page, then
// each continuation page without its 8-byte header.
Page ReadDefinitionBytes(Pager& pager, uint32_t first, std::vector<uint32_t>& pages) {
  std::vector<uint8_t> bytes;
  std::set<uint32_t> seen;
  uint32_t number = first;
  while (number != 0) {
    if (!seen.insert(number).second) {
      throw PageFailure(pager.path(), number, "table definition pages form a loop");
    }
    PageRef page = pager.Get(number);
    if (page->U8(0) != kPageTableDefinition) {
      page->Fail("expected a table definition page, found page type " +
                 std::to_string(page->U8(0)));
    }
    pages.push_back(number);
    size_t from = bytes.empty() ? 0 : 8;
    bytes.insert(bytes.end(), page->bytes().begin() + from, page->bytes().end());
    number = page->U32(4);
  }
  auto file = std::make_shared<const std::string>(pager.path());
  return Page(first, std::move(bytes), file);
}

// The column descriptors from `pos`, then the column names.
void ReadColumns(const Page& def, const Format& f, size_t& pos, std::vector<ColumnDef>& columns) {
  for (ColumnDef& c : columns) {
    c.type = def.U8(pos + f.column_type);
    c.number = def.U16(pos + f.column_number);
    c.var_index = def.U16(pos + f.column_var_index);
    c.flags = def.U8(pos + f.column_flags);
    if (!f.is_jet3()) c.extra_flags = def.U8(pos + f.column_flags + 1);
    c.fixed_offset = def.U16(pos + f.column_fixed_offset);
    c.length = def.U16(pos + f.column_length);
    if (c.type == kTypeDecimal) {
      c.precision = def.U8(pos + f.column_misc);
      c.scale = def.U8(pos + f.column_misc + 1);
    } else if (f.is_jet3()) {
      c.sort_order = def.U16(pos + 9);
      c.code_page = def.U16(pos + 11);
    } else {
      c.sort_order = def.U16(pos + f.column_misc);
    }
    pos += f.column_size;
  }
  for (ColumnDef& c : columns) c.name = ReadName(def, f, pos);
}

// The real index descriptors from `pos` (their counters come before the
// columns).
void ReadRealIndexes(const Page& def, const Format& f, size_t& pos,
                     std::vector<RealIndex>& indexes) {
  for (RealIndex& index : indexes) {
    index.descriptor_offset = pos;
    for (int slot = 0; slot < 10; ++slot) {
      size_t at = pos + f.real_index_slots + 3 * slot;
      uint16_t column = def.U16(at);
      if (column == 0xFFFF) continue;
      index.columns.push_back({column, def.U8(at + 2) != 0});
    }
    index.map = MapRef::FromWord(def.U32(pos + f.real_index_map));
    index.root = def.U32(pos + f.real_index_root);
    index.flags = def.U8(pos + f.real_index_flags);
    pos += f.real_index_size;
  }
}

// The logical index descriptors from `pos`, then their names.
void ReadLogicalIndexes(const Page& def, const Format& f, size_t& pos, TableDefinition& t) {
  for (LogicalIndex& index : t.logical_indexes) {
    size_t at = pos + f.logical_index_fields;
    index.number = def.U32(at);
    index.real_index = def.U32(at + 4);
    index.related_side = def.U8(at + 8);
    index.related_index = def.U32(at + 9);
    index.related_tdef = def.U32(at + 13);
    index.cascade_updates = def.U8(at + 17);
    index.cascade_deletes = def.U8(at + 18);
    index.kind = def.U8(at + 19);
    if (index.real_index >= t.real_indexes.size()) {
      def.Fail("logical index " + std::to_string(index.number) + " uses real index " +
               std::to_string(index.real_index) + " of " + std::to_string(t.real_indexes.size()));
    }
    pos += f.logical_index_size;
  }
  t.logical_names_offset = pos;
  for (LogicalIndex& index : t.logical_indexes) index.name = ReadName(def, f, pos);
}

// The long-value columns' maps from `pos`, up to the FF FF terminator or
// `limit`.
std::vector<LongValueMaps> ReadLongValueMaps(const Page& def, size_t pos, size_t limit) {
  std::vector<LongValueMaps> all;
  while (pos + 10 <= limit && def.U16(pos) != 0xFFFF) {
    LongValueMaps maps;
    maps.column_number = def.U16(pos);
    maps.owned = MapRef::FromWord(def.U32(pos + 2));
    maps.free = MapRef::FromWord(def.U32(pos + 6));
    all.push_back(maps);
    pos += 10;
  }
  return all;
}

// Every column number once, and every one an index names present (the
// columns sorted by number).
void CheckColumnNumbers(const Page& def, const TableDefinition& t) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnDef& c = t.columns[i];
    if (i > 0 && t.columns[i - 1].number == c.number) {
      def.Fail("two columns numbered " + std::to_string(c.number));
    }
  }
  for (const RealIndex& index : t.real_indexes) {
    for (const IndexColumn& ic : index.columns) {
      if (!t.ColumnByNumber(ic.column_number)) {
        def.Fail("index " + std::to_string(index.number) + " names missing column " +
                 std::to_string(ic.column_number));
      }
    }
  }
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

int TableDefinition::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (SameName(columns[i].name, name)) return int(i);
  }
  return -1;
}

const ColumnDef* TableDefinition::FindColumn(std::string_view name) const {
  const int i = ColumnIndex(name);
  return i < 0 ? nullptr : &columns[size_t(i)];
}

const ColumnDef* TableDefinition::ColumnByNumber(uint16_t number) const {
  for (const ColumnDef& c : columns) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

TableDefinition ReadTableDefinition(Pager& pager, const Format& f, uint32_t first) {
  TableDefinition t;
  t.page = first;
  Page def = ReadDefinitionBytes(pager, first, t.pages);
  t.definition_length = def.U32(8);
  t.row_count = def.U32(f.tdef_rows);
  t.autonumber = def.U32(f.tdef_autonumber);
  t.table_type = def.U8(f.tdef_table_type);
  t.max_columns = def.U16(f.tdef_max_columns);
  t.var_columns = def.U16(f.tdef_var_columns);
  size_t column_count = def.U16(f.tdef_columns);
  size_t logical_count = def.U32(f.tdef_logical_indexes);
  size_t real_count = def.U32(f.tdef_real_indexes);
  t.owned_map = MapRef::FromWord(def.U32(f.tdef_owned_map));
  t.free_map = MapRef::FromWord(def.U32(f.tdef_free_map));
  // Counts beyond what a page chain could describe mean a damaged TDEF;
  // checking here keeps the loops below from reserving absurd amounts.
  if (real_count > 255 || logical_count > 255 || column_count > 4096 ||
      column_count > def.size() / f.column_size) {
    def.Fail("implausible table definition (" + std::to_string(column_count) + " columns, " +
             std::to_string(real_count) + " indexes)");
  }

  size_t pos = f.tdef_index_counters;
  t.real_indexes.resize(real_count);
  for (size_t i = 0; i < real_count; ++i) {
    t.real_indexes[i].number = uint32_t(i);
    t.real_indexes[i].counter_a = def.U32(pos);
    t.real_indexes[i].counter_b = def.U32(pos + 4);
    pos += f.tdef_index_counter_size;
  }
  t.columns.resize(column_count);
  ReadColumns(def, f, pos, t.columns);
  t.real_indexes_offset = pos;
  ReadRealIndexes(def, f, pos, t.real_indexes);
  t.logical_indexes_offset = pos;
  t.logical_indexes.resize(logical_count);
  ReadLogicalIndexes(def, f, pos, t);
  t.long_value_maps_offset = pos;
  // Only the writer needs them, so a definition that ends early is not an
  // error for reading.
  t.long_value_maps =
      ReadLongValueMaps(def, pos, std::min<size_t>(def.size(), t.definition_length));

  std::sort(t.columns.begin(), t.columns.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
  CheckColumnNumbers(def, t);
  return t;
}

}  // namespace act::db::jet
