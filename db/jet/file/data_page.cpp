#include "db/jet/file/data_page.h"

#include <string>

namespace act::db::jet {

void CheckDataPage(const Page& page, std::optional<uint32_t> owner) {
  if (page.U8(0) != kPageData) {
    page.Fail("expected a data page, found page type " + std::to_string(page.U8(0)));
  }
  if (owner && page.U32(4) != *owner) {
    page.Fail("data page belongs to TDEF " + std::to_string(page.U32(4)) + ", expected " +
              std::to_string(*owner));
  }
}

unsigned SlotCount(const Page& page, const Format& format) {
  unsigned count = page.U16(format.data_row_count);
  if (format.data_slots + 2 * size_t(count) > page.size()) {
    page.Fail("slot count " + std::to_string(count) + " does not fit the page");
  }
  return count;
}

Slot ReadSlot(const Page& page, const Format& format, unsigned row) {
  unsigned count = SlotCount(page, format);
  if (row >= count) {
    page.Fail("row " + std::to_string(row) + " past the " + std::to_string(count) + " slots");
  }
  uint16_t word = page.U16(format.data_slots + 2 * row);
  Slot slot;
  slot.flags = word & (kSlotDeleted | kSlotOverflow);
  slot.start = word & kSlotOffsetMask;
  // A row ends where the previous slot's row starts; row 0 at the page end.
  slot.end = row == 0 ? page.size()
                      : (page.U16(format.data_slots + 2 * (row - 1)) & kSlotOffsetMask);
  size_t table_end = format.data_slots + 2 * size_t(count);
  if (slot.flags & kSlotDeleted) {
    // A deleted slot keeps whatever offset the engine left in it and has no
    // bytes; only a moved body (also flagged 0x8000) is ever read, and an
    // empty one fails where its row is decoded.
    if (slot.start < table_end || slot.start >= slot.end || slot.end > page.size()) {
      slot.start = slot.end = table_end;
    }
    return slot;
  }
  if (slot.start < table_end || slot.start > slot.end || slot.end > page.size()) {
    page.Fail("row " + std::to_string(row) + " spans bytes " + std::to_string(slot.start) +
              ".." + std::to_string(slot.end) + ", outside the row area");
  }
  return slot;
}

std::optional<RowBytes> ReadRowAt(Pager& pager, const Format& format, RowPointer where,
                                  std::optional<uint32_t> owner) {
  // Access moves a row at most once, but its body may move again; a longer
  // chain than this is a loop in a damaged file.
  constexpr int kMaxHops = 8;
  bool following = false;
  for (int hop = 0; hop <= kMaxHops; ++hop) {
    PageRef page = pager.Get(where.page);
    CheckDataPage(*page, owner);
    Slot slot = ReadSlot(*page, format, where.row);
    if ((slot.flags & kSlotDeleted) && !following) return std::nullopt;
    if ((slot.flags & kSlotDeleted) && (slot.flags & kSlotOverflow) && slot.size() == 0) {
      page->Fail("overflow pointer leads to deleted row " + std::to_string(where.row));
    }
    if (slot.flags & kSlotOverflow) {
      if (slot.size() < 4) page->Fail("overflow row " + std::to_string(where.row) + " too short");
      where.row = page->U8(slot.start);
      where.page = page->U24(slot.start + 1);
      following = true;
      continue;
    }
    return RowBytes{page, page->Bytes(slot.start, slot.size())};
  }
  throw PageFailure(pager.path(), where.page, "overflow pointers form a loop");
}

}  // namespace act::db::jet
