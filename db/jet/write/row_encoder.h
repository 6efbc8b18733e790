// Encoding one row in the Jet 3 layout: column count, fixed area, variable
// data, EOD and variable offsets (last column first), the jump table for
// rows of 256 bytes or more, the variable-column count and the null mask.
// The inverse of RowDecoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/table/table_definition.h"
#include "db/value.h"

namespace act::db::jet {

// One column's stored form: present (for booleans: the value) and bytes.
struct StoredField {
  bool present = false;
  std::string bytes;
};

// The stored bytes of a value already converted to the column's kind
// (ConvertForColumn). Memo and OLE fields come from the long-value writer
// instead. Text goes to Windows-1252; a character without a 1252 byte is a
// conversion error (3421), text longer than the column 3163.
// The result replaces `out`, whose buffer is reused. `stored_text`: a
// text value already holds its stored bytes (Windows-1252).
void EncodeField(const ColumnDef& column, const Value& value, const std::string& file,
                 StoredField& out, bool stored_text = false);

// Where a table's fields go in its rows, worked out once per table rather
// than once per row.
struct RowLayout {
  struct Fixed {
    size_t column;  // index into table.columns
    size_t offset;  // in the fixed area
    size_t room;    // bytes
  };
  std::vector<Fixed> fixed;      // fixed columns other than booleans
  size_t fixed_size = 0;         // the fixed area, after the column count
  std::vector<int> var_columns;  // column of each variable slot, -1 for none
  size_t mask_size = 0;          // bytes of the null mask
};
RowLayout LayoutOf(const TableDefinition& table);

// The row from fields indexed like table.columns, replacing `row` (whose
// buffer is reused: a writer encodes row after row into one). Jet 3 only.
void EncodeRow(const Format& format, const TableDefinition& table, const RowLayout& layout,
               const std::vector<StoredField>& fields, std::vector<uint8_t>& row);
void EncodeRow(const Format& format, const TableDefinition& table,
               const std::vector<StoredField>& fields, std::vector<uint8_t>& row);

}  // namespace act::db::jet
