// Data pages: the slot table and where each row's bytes lie, including rows
// that were moved to another page when they grew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

constexpr uint8_t kPageData = 0x01;
constexpr uint8_t kPageTableDefinition = 0x02;
constexpr uint8_t kPageIndexNode = 0x03;
constexpr uint8_t kPageIndexLeaf = 0x04;
constexpr uint8_t kPageUsageBitmap = 0x05;

// Owner field of long-value pages ("LVAL").
constexpr uint32_t kLongValueOwner = 0x4C41564C;

// Slot word flags.
constexpr uint16_t kSlotDeleted = 0x8000;   // deleted, or the moved body of a row
constexpr uint16_t kSlotOverflow = 0x4000;  // the row holds a pointer to its body
constexpr uint16_t kSlotOffsetMask = 0x1FFF;

// A row's address: what index entries and overflow pointers hold.
struct RowPointer {
  uint32_t page = 0;
  uint8_t row = 0;
  auto operator<=>(const RowPointer&) const = default;
};

struct Slot {
  uint16_t flags = 0;    // kSlotDeleted / kSlotOverflow bits
  size_t start = 0;      // offset of the row in the page
  size_t end = 0;        // one past its last byte
  size_t size() const { return end - start; }
};

// Checks that `page` is a data page (of owner, unless owner is nullopt).
void CheckDataPage(const Page& page, std::optional<uint32_t> owner);

// Number of row slots of a data page (checked against the page size).
unsigned SlotCount(const Page& page, const Format& format);

// Slot `row` of a data page, its extent checked against the page.
Slot ReadSlot(const Page& page, const Format& format, unsigned row);

// The bytes of a live row, following overflow pointers to the moved body.
struct RowBytes {
  PageRef page;  // keeps the bytes alive
  std::span<const uint8_t> bytes;
};

// Reads the row at `where`; nullopt when the slot is deleted. owner, when
// given, is the TDEF page the row's pages must belong to.
std::optional<RowBytes> ReadRowAt(Pager& pager, const Format& format, RowPointer where,
                                  std::optional<uint32_t> owner);

}  // namespace act::db::jet
