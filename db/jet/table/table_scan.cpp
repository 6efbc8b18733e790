#include "db/jet/table/table_scan.h"

#include "db/errors.h"

namespace act::db::jet {

TableScan::TableScan(Pager& pager, const Format& format, const TableDefinition& table)
    : pager_(pager),
      format_(format),
      table_(table),
      pages_(ReadUsageMap(pager, format, table.owned_map)),
      decoder_(format, table) {}

void TableScan::Rewind() {
  page_index_ = 0;
  read_ahead_end_ = 0;
  next_row_ = 0;
  current_page_.reset();
  row_.reset();
  only_next_ = 0;
}

void TableScan::SkipPage() {
  ++page_index_;
  next_row_ = 0;
  current_page_.reset();
  row_.reset();
}

void TableScan::Only(std::vector<RowPointer> rows) {
  Rewind();
  only_ = std::move(rows);
}

bool TableScan::Next() {
  if (!NextStored()) return false;
  decoder_.Split(*row_->page, row_->bytes);
  return true;
}

bool TableScan::NextStored() {
  if (only_) {
    while (only_next_ < only_->size()) {
      const RowPointer where = (*only_)[only_next_++];
      row_ = ReadRowAt(pager_, format_, where, table_.page);
      if (!row_) continue;
      position_ = where;
      return true;
    }
    row_.reset();
    return false;
  }
  while (page_index_ < pages_.size()) {
    if (!current_page_) {
      if (page_index_ >= read_ahead_end_) {
        // The run of neighbouring pages starting here, read at once.
        size_t end = page_index_ + 1;
        while (end < pages_.size() && end - page_index_ < kReadAheadPages &&
               pages_[end] == pages_[end - 1] + 1) {
          ++end;
        }
        pager_.ReadAhead(pages_[page_index_], uint32_t(end - page_index_));
        read_ahead_end_ = end;
      }
      current_page_ = pager_.Get(pages_[page_index_]);
      CheckDataPage(*current_page_, table_.page);
    }
    unsigned count = SlotCount(*current_page_, format_);
    while (next_row_ < count) {
      unsigned row = next_row_++;
      if (row > 255) current_page_->Fail("more than 256 row slots");
      Slot slot = ReadSlot(*current_page_, format_, row);
      if (slot.flags & kSlotDeleted) continue;
      RowPointer where{current_page_->number(), uint8_t(row)};
      if (slot.flags == 0) {
        // The common case: the row is on the page at hand.
        row_ = RowBytes{current_page_, current_page_->Bytes(slot.start, slot.size())};
      } else {
        row_ = ReadRowAt(pager_, format_, where, table_.page);
        if (!row_) continue;
      }
      position_ = where;
      return true;
    }
    ++page_index_;
    next_row_ = 0;
    current_page_.reset();
  }
  row_.reset();
  return false;
}

Value TableScan::Get(size_t column_index) {
  return DecodeValue(pager_, format_, *row_->page, table_.columns[column_index],
                     decoder_.slices()[column_index]);
}

void TableScan::Read(size_t column_index, Value& out) {
  DecodeValueInto(pager_, format_, *row_->page, table_.columns[column_index],
                  decoder_.slices()[column_index], out);
}

void TableScan::ReadStoredText(size_t column_index, Value& out) {
  const ColumnSlice& slice = decoder_.slices()[column_index];
  if (!format_.is_jet3() || table_.columns[column_index].type != kTypeText) {
    throw JetFailure(kJetOperationNotSupported, pager_.path() + ": column '" +
                                                    table_.columns[column_index].name +
                                                    "' holds no Jet 3 text");
  }
  StoredTextInto(slice, out);
}

}  // namespace act::db::jet
