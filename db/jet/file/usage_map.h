// Usage maps: which pages belong to a table, an index or a long-value
// column. A map is one row on a data page, named by a 4-byte map ref; it is
// either an inline bitmap or a list of bitmap pages (reference map).
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

// A map ref: row number in the low byte, page number in the upper three.
struct MapRef {
  uint8_t row = 0;
  uint32_t page = 0;
  static MapRef FromWord(uint32_t word) { return {uint8_t(word & 0xFF), word >> 8}; }
  uint32_t word() const { return row | (page << 8); }
  bool empty() const { return page == 0; }
};

// The pages a map marks, ascending. Every page must lie inside the file
// (a map naming a page past the end is a damaged file), except with
// `drop_past_end`: the global map marks every page past the end as free,
// and those are left out.
std::vector<uint32_t> ReadUsageMap(Pager& pager, const Format& format, MapRef ref,
                                   bool drop_past_end = false);

// The pages a map is kept on: the page holding its row, then the bitmap
// pages of a reference map.
std::vector<uint32_t> UsageMapStorage(Pager& pager, const Format& format, MapRef ref);

}  // namespace act::db::jet
