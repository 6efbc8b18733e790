// Writing memo and OLE values: the 12-byte field header in the row, with the
// data inline (short values), in one row of an LVAL page, or in a chain of
// LVAL rows of up to 2032 data bytes each (FORMAT: long values). LVAL pages
// come from the column's own maps; a page that cannot take the next row
// leaves the column's free map.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "db/jet/file/data_page.h"
#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

// Values up to this many bytes stay in the row when it has room.
constexpr size_t kLongValueInlineLimit = 64;
// Data bytes of one LVAL row: a whole page's row minus the link pointer.
constexpr size_t kLongValueLinkData = 2032;

class LongValueWriter {
 public:
  LongValueWriter(Database& db, PageAllocator& allocator, const TableDefinition& table);

  // The field for `data` (code-page bytes for memo, raw for OLE); the LVAL
  // rows are written first, so the field never points at unwritten rows.
  StoredField Write(const ColumnDef& column, const std::string& data, bool allow_inline);

  // Deletes the LVAL rows behind a stored field (the value was replaced).
  void Release(std::span<const uint8_t> field);

 private:
  RowPointer Place(const ColumnDef& column, std::span<const uint8_t> row);

  Database& db_;
  PageAllocator& allocator_;
  const TableDefinition& table_;
  std::map<uint16_t, uint32_t> current_page_;  // per column: the LVAL page being filled
};

}  // namespace act::db::jet
