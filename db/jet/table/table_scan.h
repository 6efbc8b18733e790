// A scan of a table's rows in storage order: the pages of its owned map in
// ascending order, the rows of each page by slot number. Deleted rows and
// the moved bodies of overflow rows are skipped; an overflow row is read
// from where its body lies.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

class TableScan {
 public:
  TableScan(Pager& pager, const Format& format, const TableDefinition& table);

  // Moves to the next live row; false at the end. The first call moves to
  // the first row.
  bool Next();
  // The same without splitting the row into its columns: for a reader that
  // decodes row() itself, elsewhere (slices() and the values are then not
  // those of the current row).
  bool NextStored();
  // The current row's bytes; they stay valid as long as the copy is kept.
  const RowBytes& row() const { return *row_; }
  // Back to before the first row.
  void Rewind();
  // From now on visits only the rows at `rows` (positions a scan of this
  // table gave), in that order, instead of every row; a row deleted since
  // is passed over. Rewind goes back to the first of them.
  void Only(std::vector<RowPointer> rows);

  // Where the scan stands (the page of its list, the next slot): it has not
  // moved when a failed Next() failed on the page itself.
  std::pair<size_t, unsigned> cursor() const { return {page_index_, next_row_}; }
  // Passes over the rest of the current page (one that cannot be read), for
  // a reader that rescues what it can.
  void SkipPage();

  // The current row: its position, its column slices and its values.
  RowPointer position() const { return position_; }
  const std::vector<ColumnSlice>& slices() const { return decoder_.slices(); }
  Value Get(size_t column_index);
  // The same into `out`, reusing its storage.
  void Read(size_t column_index, Value& out);
  // A Jet 3 text column's value as stored: text holding the Windows-1252
  // bytes (for TableWriter::Append's `stored_text`), or Null.
  void ReadStoredText(size_t column_index, Value& out);
  const Page& page() const { return *row_->page; }

 private:
  Pager& pager_;
  const Format& format_;
  const TableDefinition& table_;
  std::vector<uint32_t> pages_;
  size_t page_index_ = 0;
  // Pages before this index of pages_ were already offered to ReadAhead.
  static constexpr size_t kReadAheadPages = 16;
  size_t read_ahead_end_ = 0;
  unsigned next_row_ = 0;
  PageRef current_page_;
  std::optional<RowBytes> row_;
  RowPointer position_;
  RowDecoder decoder_;
  std::optional<std::vector<RowPointer>> only_;
  size_t only_next_ = 0;
};

}  // namespace act::db::jet
