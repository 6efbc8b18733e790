// The table definition (TDEF): columns, indexes and the maps of a table,
// read from its TDEF page and continuation pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"
#include "db/jet/file/usage_map.h"

namespace act::db::jet {

enum ColumnType : uint8_t {
  kTypeBoolean = 0x01,
  kTypeByte = 0x02,
  kTypeInteger = 0x03,
  kTypeLong = 0x04,
  kTypeCurrency = 0x05,
  kTypeSingle = 0x06,
  kTypeDouble = 0x07,
  kTypeDateTime = 0x08,
  kTypeBinary = 0x09,
  kTypeText = 0x0A,
  kTypeOle = 0x0B,
  kTypeMemo = 0x0C,
  kTypeGuid = 0x0F,
  kTypeDecimal = 0x10,
};

// Column flags.
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnAutonumber = 0x04;
constexpr uint8_t kColumnGuidAutonumber = 0x40;
// Jet 4 extra flags.
constexpr uint8_t kColumnCompressedUnicode = 0x01;

// Real index flags.
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

struct ColumnDef {
  std::string name;  // UTF-8
  uint8_t type = 0;
  uint16_t number = 0;      // stable id: null-mask bit, index and map references
  uint16_t var_index = 0;   // position in the row's variable-offset table
  uint16_t fixed_offset = 0;
  uint16_t length = 0;
  uint8_t flags = 0;
  uint8_t extra_flags = 0;  // Jet 4 only
  uint16_t sort_order = 0;
  uint16_t code_page = 0;
  uint8_t precision = 0, scale = 0;  // decimal columns
  // Fixed versus variable is the flag's word, never the type's (some system
  // tables store longs as variable columns).
  bool is_fixed() const { return flags & kColumnFixed; }
  bool is_long_value() const { return type == kTypeMemo || type == kTypeOle; }
};

struct IndexColumn {
  uint16_t column_number = 0;
  bool ascending = true;
};

struct RealIndex {
  uint32_t number = 0;  // position among the real indexes
  std::vector<IndexColumn> columns;
  MapRef map;
  uint32_t root = 0;
  uint8_t flags = 0;
  uint32_t counter_a = 0, counter_b = 0;  // see the writer notes in README
  // Where its 39/52-byte descriptor starts in the definition (counted like
  // definition_length), so that a writer can update the root in place.
  size_t descriptor_offset = 0;
};

struct LogicalIndex {
  std::string name;
  uint32_t number = 0;
  uint32_t real_index = 0;
  uint8_t related_side = 0;
  uint32_t related_index = 0;
  uint32_t related_tdef = 0;
  uint8_t cascade_updates = 0, cascade_deletes = 0;
  uint8_t kind = 0;  // 0 normal, 1 primary key, 2 foreign key (kForeignKey)
};

constexpr uint8_t kForeignKey = 2;

struct LongValueMaps {
  uint16_t column_number = 0;
  MapRef owned, free;
};

struct TableDefinition {
  uint32_t page = 0;               // first TDEF page (= the table's id)
  std::vector<uint32_t> pages;     // TDEF pages, first one included
  uint32_t definition_length = 0;  // as stored at offset 8
  uint8_t table_type = 0;
  uint32_t row_count = 0;
  uint32_t autonumber = 0;
  uint16_t max_columns = 0;        // column count stored in rows
  uint16_t var_columns = 0;
  MapRef owned_map, free_map;
  std::vector<ColumnDef> columns;  // by column number
  std::vector<RealIndex> real_indexes;
  std::vector<LogicalIndex> logical_indexes;  // in stored order
  std::vector<LongValueMaps> long_value_maps;
  // Where the parts after the column names start in the definition (counted
  // like definition_length), for writers that add an index.
  size_t real_indexes_offset = 0, logical_indexes_offset = 0, logical_names_offset = 0,
         long_value_maps_offset = 0;

  // The position in `columns` of the column with this name (case-insensitive,
  // as Jet resolves names: SameName), or -1.
  int ColumnIndex(std::string_view name) const;
  // That column itself, or nullptr.
  const ColumnDef* FindColumn(std::string_view name) const;
  const ColumnDef* ColumnByNumber(uint16_t number) const;
};

// Reads the TDEF starting at `page`. Jet 3 names are in the database's code
// page (1252).
TableDefinition ReadTableDefinition(Pager& pager, const Format& format, uint32_t page);

// Case-insensitive comparison of names (ASCII letters fold; others compare
// exactly).
bool SameName(std::string_view a, std::string_view b);

}  // namespace act::db::jet
