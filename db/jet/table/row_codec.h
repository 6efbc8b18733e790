// Decoding of one stored row: the column count, the fixed area, the
// variable-length area with its offset table (and Jet 3's jump table for
// rows of 256 bytes or more) and the null mask.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"
#include "db/jet/table/table_definition.h"
#include "db/value.h"

namespace act::db::jet {

// Where one column's value lies in a row.
struct ColumnSlice {
  bool present = false;  // false = Null; for booleans: the value
  std::span<const uint8_t> bytes;
};

// Splits rows of one table into column slices. Reused across rows so that
// a scan allocates nothing per row.
class RowDecoder {
 public:
  RowDecoder(const Format& format, const TableDefinition& table);

  // Fills slices() (indexed like table.columns) for `row`; `page` is the page
  // holding the row, for error reports.
  void Split(const Page& page, std::span<const uint8_t> row);
  const std::vector<ColumnSlice>& slices() const { return slices_; }

 private:
  void ReadVarOffsets(const Page& page, std::span<const uint8_t> row, size_t mask_size);

  const Format& format_;
  const TableDefinition& table_;
  std::vector<ColumnSlice> slices_;
  std::vector<size_t> var_offsets_;  // var columns of the row, then the end of data
  size_t var_table_start_ = 0;       // first byte of the offset table
};

// Size of a fixed column of this type, 0 for booleans (which live in the
// null mask), or -1 for variable-length types.
int FixedSize(uint8_t type);

// The value of one column slice.
Value DecodeValue(Pager& pager, const Format& format, const Page& page, const ColumnDef& column,
                  const ColumnSlice& slice);
// The same into `out`: Jet 3 text is written into out's own buffer, so a
// scan that reuses its values allocates nothing for it.
void DecodeValueInto(Pager& pager, const Format& format, const Page& page, const ColumnDef& column,
                     const ColumnSlice& slice, Value& out);
// A Jet 3 text slice as stored: text holding its Windows-1252 bytes (for
// TableWriter::Append's `stored_text`), or Null.
void StoredTextInto(const ColumnSlice& slice, Value& out);

// GUID bytes as stored (three little-endian groups, then 8 bytes) in the
// canonical text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidText(std::span<const uint8_t> stored);

}  // namespace act::db::jet
