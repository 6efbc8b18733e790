#include "db/jet/table/long_value.h"

#include <set>

#include "db/jet/file/data_page.h"

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

// Hands the value's bytes to on_piece(link, bytes) piece by piece, in
// order; `link` is the LVAL row the piece lies in, or nullptr when it lies
// in the field itself.
template <typename OnPiece>
void WalkLongValue(Pager& pager, const Format& format, const Page& row_page,
                   std::span<const uint8_t> field, OnPiece on_piece) {
  if (field.size() < kLongValueHeaderSize) {
    row_page.Fail("long value field of " + std::to_string(field.size()) + " bytes");
  }
  uint32_t word = LoadU32(field.data());
  size_t length = word & kLongValueLengthMask;
  RowPointer first{LoadU32(field.data() + 4) >> 8, field[4]};

  if (word & kLongValueInline) {
    if (field.size() - kLongValueHeaderSize < length) {
      row_page.Fail("inline long value of " + std::to_string(length) + " bytes overruns its field");
    }
    on_piece(nullptr, field.subspan(kLongValueHeaderSize, length));
    return;
  }
  if (word & kLongValueSingleRow) {
    RowBytes row = ReadLongValueRow(pager, format, first);
    if (row.bytes.size() < length) {
      row.page->Fail("long value row shorter than its length " + std::to_string(length));
    }
    on_piece(&row, row.bytes.first(length));
    return;
  }
  // A chain: each link starts with the pointer to the next one.
  size_t got = 0;
  RowPointer where = first;
  // Every link is a distinct row, so a loop shows as a row seen twice; this
  // also bounds the value by the size of the file.
  std::set<RowPointer> seen;
  while (got < length) {
    if (where.page == 0) {
      row_page.Fail("long value chain ends after " + std::to_string(got) + " of " +
                    std::to_string(length) + " bytes");
    }
    if (!seen.insert(where).second) throw PageFailure(pager.path(), where.page, "long value chain loops");
    RowBytes link = ReadLongValueRow(pager, format, where);
    if (link.bytes.size() <= 4) link.page->Fail("empty long value link");
    std::span<const uint8_t> data = link.bytes.subspan(4);
    size_t take = std::min(data.size(), length - got);
    on_piece(&link, data.first(take));
    got += take;
    where = RowPointer{LoadU32(link.bytes.data()) >> 8, link.bytes[0]};
  }
}

}  // namespace

std::string ReadLongValue(Pager& pager, const Format& format, const Page& row_page,
                          std::span<const uint8_t> field) {
  std::string value;
  WalkLongValue(pager, format, row_page, field, [&](const RowBytes*, std::span<const uint8_t> b) {
    value.append(b.begin(), b.end());
  });
  return value;
}

std::vector<uint32_t> LongValuePages(Pager& pager, const Format& format, const Page& row_page,
                                     std::span<const uint8_t> field) {
  std::vector<uint32_t> pages;
  WalkLongValue(pager, format, row_page, field,
                [&](const RowBytes* link, std::span<const uint8_t>) {
                  if (link) pages.push_back(link->page->number());
                });
  return pages;
}

}  // namespace act::db::jet
