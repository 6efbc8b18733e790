// Changing usage maps: setting and clearing the bit of one page, and
// searching for set bits. Inline maps cover 1024 pages from their first
// page; a page outside that window moves the window when every listed page
// still fits, and otherwise turns the map into a reference map (a list of
// bitmap pages of 16352 pages each), as Jet does for big files. The row
// keeps its length, so the map page never needs re-packing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"
#include "db/jet/file/usage_map.h"

namespace act::db::jet {

class UsageMapWriter {
 public:
  // new_bitmap_page(for_global_map) appends a page to the file and returns
  // its number; the writer then fills it. For any map but the global one it
  // also marks the page used in the global map (the global map marks its own
  // bitmap pages itself).
  UsageMapWriter(Pager& pager, const Format& format,
                 std::function<uint32_t(bool)> new_bitmap_page);

  // `outside_set` gives the meaning of pages the map does not cover: true
  // for the global map (uncovered pages lie past the file's end and count as
  // free), false for every other map. A reference map's run without a
  // bitmap page covers nothing but for the global map's pages inside the
  // file: those are in use, as Access reads it.
  bool Test(MapRef ref, uint32_t page, bool outside_set = false);
  void Set(MapRef ref, uint32_t page, bool on, bool outside_set = false);
  // The first page >= from and < limit whose bit is set, if any.
  std::optional<uint32_t> FindSet(MapRef ref, uint32_t from, uint32_t limit);

 private:
  struct MapView {
    PageRef page;  // the page holding the row, as the pager has it
    size_t start = 0, size = 0;
  };
  struct MapRow {
    std::vector<uint8_t> page;  // copy of the page holding the row
    size_t start = 0, size = 0;
  };
  MapView View(MapRef ref);
  MapRow Load(MapRef ref);
  // Sets or clears bit `k` of a bitmap page.
  void SetBitmapBit(uint32_t bitmap, uint32_t k, bool on);
  // Changes one byte of a page, in place when the pager allows it (so the
  // caller holds no reference to the page any more).
  void SetByte(uint32_t page, size_t offset, uint8_t value);
  void Store(MapRef ref, const MapRow& row);
  uint32_t PagesPerBitmap() const { return (pager_.page_size() - 4) * 8; }
  void ToReference(MapRef ref, bool outside_set);

  Pager& pager_;
  const Format& format_;
  std::function<uint32_t(bool)> new_bitmap_page_;
};

}  // namespace act::db::jet
