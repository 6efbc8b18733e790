// CREATE TABLE for Jet 3: a TDEF laid out as Access writes it (column
// descriptors with the database's sort order and code page, real and
// logical index descriptors, long-value column maps), continued on further
// TDEF pages when it is longer than one page, usage-map pages holding the
// table's maps, an empty root leaf per index, and the catalog rows
// (MSysObjects, with its indexes kept and the Required columns in its
// property blob, and the table's MSysACEs entries inherited from the
// Tables container).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"

namespace act::db::jet {

struct NewColumn {
  std::string name;  // UTF-8
  uint8_t type = 0;  // ColumnType
  uint16_t length = 0;  // text/binary: the maximum; others: ignored
  bool autonumber = false;  // COUNTER
  bool required = false;    // NOT NULL: the column's Required property
};

struct NewIndex {
  std::string name;  // logical index name
  std::vector<std::pair<uint16_t, bool>> columns;  // column position, ascending
  bool primary = false;
  bool unique = false;
};

// One column descriptor as Access writes it, with the database's sort
// order and code page: `var_index` is the column's place among the row's
// variable columns (for a fixed column, how many come before it), and
// `fixed_offset` its place in the fixed area.
void AppendColumnDescriptor(const DatabaseHeader& header, const NewColumn& c, uint16_t number,
                            uint16_t var_index, uint16_t fixed_offset, std::vector<uint8_t>& def);

// `count` (at least one) new, empty usage maps, on as many new map pages as
// they need.
std::vector<MapRef> AddEmptyMaps(Database& db, PageAllocator& allocator, size_t count);

// Creates the table and returns its TDEF page; the names of its columns
// differ (the parser refuses a column named twice). Jet errors: 3010 when a
// table of that name exists, 3251 for what this engine does not build (more
// than 255 columns or 32 indexes).
uint32_t CreateTable(Database& db, const std::string& name, const std::vector<NewColumn>& columns,
                     const std::vector<NewIndex>& indexes);

}  // namespace act::db::jet
