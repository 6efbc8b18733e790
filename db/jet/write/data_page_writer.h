// Changing data pages: appending a row, replacing one (the page re-packed
// the way Access leaves it: rows contiguous from the page end down, in slot
// order, deleted slots zero-length) and keeping the free-space field equal
// to page size - header - slot table - row bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "db/jet/file/format.h"

namespace act::db::jet {

// Slots per page: index entries and overflow pointers hold one row byte.
constexpr unsigned kMaxRowsPerPage = 255;

// An empty data page of `owner` (a TDEF page, 0 for map pages, kLongValueOwner).
std::vector<uint8_t> NewDataPage(const Format& format, uint32_t owner);

// The page's free-space field.
size_t DataPageFreeSpace(std::span<const uint8_t> page);

// Room for one more row of `size` bytes (its slot word included)?
bool DataPageFits(const Format& format, std::span<const uint8_t> page, size_t size);

// Adds a row below the lowest one with the next slot number; the caller
// checked DataPageFits. Returns the row number.
unsigned AppendDataRow(const Format& format, std::vector<uint8_t>& page,
                       std::span<const uint8_t> row, uint16_t slot_flags = 0);

// Replaces row `row` with `bytes` and `slot_flags`, moving the rows below it
// so that the page stays packed. False (nothing changed) when the page
// lacks the room for a larger row.
bool ReplaceDataRow(const Format& format, std::vector<uint8_t>& page, unsigned row,
                    std::span<const uint8_t> bytes, uint16_t slot_flags);

}  // namespace act::db::jet
