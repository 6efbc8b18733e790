#include "db/jet/write/long_value_writer.h"

#include <set>

#include "db/errors.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/table/long_value.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

std::string Header(uint32_t word, RowPointer where) {
  std::string h(kLongValueHeaderSize, '\0');
  for (int i = 0; i < 4; ++i) h[i] = char(word >> (8 * i));
  h[4] = char(where.row);
  h[5] = char(where.page);
  h[6] = char(where.page >> 8);
  h[7] = char(where.page >> 16);
  return h;
}

}  // namespace

LongValueWriter::LongValueWriter(Database& db, PageAllocator& allocator,
                                 const TableDefinition& table)
    : db_(db), allocator_(allocator), table_(table) {}

RowPointer LongValueWriter::Place(const ColumnDef& column, std::span<const uint8_t> row) {
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  auto current = current_page_.find(column.number);
  if (current == current_page_.end()) {
    // Continue on the first page the column's free map still offers.
    uint32_t candidate = 0;
    for (const LongValueMaps& maps : table_.long_value_maps) {
      if (maps.column_number != column.number || maps.free.empty()) continue;
      if (auto p = allocator_.maps().FindSet(maps.free, 1, pager.page_count())) candidate = *p;
    }
    if (candidate != 0) {
      PageRef page = pager.Get(candidate);
      if (page->U8(0) != kPageData || page->U32(4) != kLongValueOwner) candidate = 0;
    }
    current = current_page_.emplace(column.number, candidate).first;
  }
  std::vector<uint8_t> image;
  if (current->second != 0) {
    image = pager.Get(current->second)->bytes();
    if (!DataPageFits(format, image, row.size())) {
      allocator_.MarkLongValuePageFull(table_, column.number, current->second);
      current->second = 0;
    }
  }
  if (current->second == 0) {
    current->second = allocator_.AllocateLongValuePage(table_, column.number);
    image = NewDataPage(format, kLongValueOwner);
  }
  unsigned slot = AppendDataRow(format, image, row);
  pager.Write(current->second, std::move(image), kWriteRows);
  return RowPointer{current->second, uint8_t(slot)};
}

StoredField LongValueWriter::Write(const ColumnDef& column, const std::string& data,
                                   bool allow_inline) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  if (data.size() > kLongValueLengthMask) {
    throw JetFailure(kJetOperationNotSupported, db_.path() + ": value of column '" + column.name +
                                                    "' is too long");
  }
  uint32_t length = uint32_t(data.size());
  if (allow_inline && data.size() <= kLongValueInlineLimit) {
    return {true, Header(length | kLongValueInline, {}) + data};
  }
  if (data.size() <= kLongValueLinkData) {
    RowPointer where = Place(column, {bytes, data.size()});
    return {true, Header(length | kLongValueSingleRow, where)};
  }
  // A chain, written last link first so that each link knows its successor.
  size_t links = (data.size() + kLongValueLinkData - 1) / kLongValueLinkData;
  RowPointer next{};
  for (size_t i = links; i-- > 0;) {
    size_t start = i * kLongValueLinkData;
    size_t n = std::min(kLongValueLinkData, data.size() - start);
    std::vector<uint8_t> link(4 + n);
    link[0] = next.row;
    link[1] = uint8_t(next.page);
    link[2] = uint8_t(next.page >> 8);
    link[3] = uint8_t(next.page >> 16);
    std::copy(bytes + start, bytes + start + n, link.begin() + 4);
    next = Place(column, link);
  }
  return {true, Header(length, next)};
}

void LongValueWriter::Release(std::span<const uint8_t> field) {
  if (field.size() < kLongValueHeaderSize) return;
  uint32_t word = LoadU32(field.data());
  if (word & kLongValueInline) return;
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  RowPointer where{LoadU32(field.data() + 4) >> 8, field[4]};
  bool chain = !(word & kLongValueSingleRow);
  std::set<RowPointer> seen;
  while (where.page != 0 && seen.insert(where).second) {
    std::vector<uint8_t> image = pager.Get(where.page)->bytes();
    Page view(where.page, image, std::make_shared<const std::string>(db_.path()));
    CheckDataPage(view, kLongValueOwner);
    Slot slot = ReadSlot(view, format, where.row);
    if (slot.flags & kSlotDeleted) break;
    RowPointer next{};
    if (chain && slot.size() >= 4) next = {view.U24(slot.start + 1), view.U8(slot.start)};
    // Access's mark for a reclaimed row: both flags, no bytes.
    ReplaceDataRow(format, image, where.row, {}, kSlotDeleted | kSlotOverflow);
    pager.Write(where.page, std::move(image), kWriteRows);
    where = next;
  }
}

}  // namespace act::db::jet
