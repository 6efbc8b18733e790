#include "db/jet/long_value.h"

#include <set>

#include "db/jet/data_page.h"

namespace act::db::jet {

namespace {

RowBytes ReadLongValueRow(Pager& pager, const Format& format, RowPointer where) {
  auto row = ReadRowAt(pager, format, where, kLongValueOwner);
  if (!row) {
    throw PageFailure(pager.path(), where.page,
                      "long value row " + std::to_string(where.row) + " is deleted");
  }
  return *row;
}

}  // namespace

std::string ReadLongValue(Pager& pager, const Format& format, const Page& row_page,
                          std::span<const uint8_t> field) {
  if (field.size() < kLongValueHeaderSize) {
    row_page.Fail("long value field of " + std::to_string(field.size()) + " bytes");
  }
  uint32_t word = LoadU32(field.data());
  size_t length = word & kLongValueLengthMask;
  RowPointer first{LoadU32(field.data() + 4) >> 8, field[4]};
  auto as_text = [](std::span<const uint8_t> b) { return std::string(b.begin(), b.end()); };

  if (word & kLongValueInline) {
    if (field.size() - kLongValueHeaderSize < length) {
      row_page.Fail("inline long value of " + std::to_string(length) + " bytes overruns its field");
    }
    return as_text(field.subspan(kLongValueHeaderSize, length));
  }
  if (word & kLongValueSingleRow) {
    RowBytes row = ReadLongValueRow(pager, format, first);
    if (row.bytes.size() < length) {
      row.page->Fail("long value row shorter than its length " + std::to_string(length));
    }
    return as_text(row.bytes.first(length));
  }
  // A chain: each link starts with the pointer to the next one.
  std::string value;
  RowPointer where = first;
  // Every link is a distinct row, so a loop shows as a row seen twice; this
  // also bounds the value by the size of the file.
  std::set<RowPointer> seen;
  while (value.size() < length) {
    if (where.page == 0) {
      row_page.Fail("long value chain ends after " + std::to_string(value.size()) + " of " +
                    std::to_string(length) + " bytes");
    }
    if (!seen.insert(where).second) throw PageFailure(pager.path(), where.page, "long value chain loops");
    RowBytes link = ReadLongValueRow(pager, format, where);
    if (link.bytes.size() <= 4) link.page->Fail("empty long value link");
    std::span<const uint8_t> data = link.bytes.subspan(4);
    size_t take = std::min(data.size(), length - value.size());
    value.append(data.begin(), data.begin() + take);
    where = RowPointer{LoadU32(link.bytes.data()) >> 8, link.bytes[0]};
  }
  return value;
}

}  // namespace act::db::jet
