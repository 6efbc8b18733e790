#include "db/jet/index_page_source.h"

#include "db/errors.h"
#include "db/jet/data_page.h"

namespace act::db::jet {

namespace {

// TEMPORARY, until the page allocator of the row writer is merged: appends
// pages at the end of the file and keeps the inline maps by hand.
void SetMapBit(Database& db, MapRef ref, uint32_t page, bool on) {
  PageRef map_page = db.pager().Get(ref.page);
  Slot slot = ReadSlot(*map_page, db.format(), ref.row);
  std::vector<uint8_t> bytes = map_page->bytes();
  if (slot.size() < 5 || bytes[slot.start] != 0) {
    throw JetFailure(kJetOperationNotSupported, db.path() + ": page " +
                                                    std::to_string(ref.page) +
                                                    ": only inline usage maps are written");
  }
  uint32_t first = LoadU32(&bytes[slot.start + 1]);
  uint64_t bit = uint64_t(page) - first;
  if (page < first || bit >= (slot.size() - 5) * 8) {
    throw JetFailure(kJetOperationNotSupported,
                     db.path() + ": page " + std::to_string(page) + " outside an inline usage map");
  }
  uint8_t& byte = bytes[slot.start + 5 + bit / 8];
  if (on) byte |= uint8_t(1u << (bit % 8)); else byte &= uint8_t(~(1u << (bit % 8)));
  db.pager().Write(ref.page, std::move(bytes));
}

constexpr MapRef kGlobalMap{0, 1};

}  // namespace

IndexPageSource IndexPagesOf(Database& db, const TableDefinition& table, const RealIndex& index) {
  MapRef map = index.map;
  uint32_t owner = table.page;
  IndexPageSource source;
  source.allocate = [&db, map, owner] {
    uint32_t page = db.pager().page_count();
    std::vector<uint8_t> empty(db.pager().page_size(), 0);
    empty[0] = kPageIndexLeaf;
    empty[1] = 0x01;
    for (int i = 0; i < 4; ++i) empty[4 + i] = uint8_t(owner >> (8 * i));
    db.pager().Write(page, std::move(empty));
    SetMapBit(db, kGlobalMap, page, false);
    SetMapBit(db, map, page, true);
    return page;
  };
  source.release = [&db, map](uint32_t page) {
    SetMapBit(db, map, page, false);
    SetMapBit(db, kGlobalMap, page, true);
  };
  return source;
}

}  // namespace act::db::jet
