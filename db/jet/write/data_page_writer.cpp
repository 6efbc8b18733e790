#include "db/jet/write/data_page_writer.h"

#include <cstring>
#include <stdexcept>

#include "db/jet/file/data_page.h"
#include "db/jet/file/page.h"

namespace act::db::jet {

namespace {

unsigned Slots(const Format& format, std::span<const uint8_t> page) {
  return LoadU16(page.data() + format.data_row_count);
}

size_t SlotStart(const Format& format, std::span<const uint8_t> page, unsigned row) {
  return LoadU16(page.data() + format.data_slots + 2 * row) & kSlotOffsetMask;
}

// Where the rows end at the bottom: the start of the last slot's row.
size_t LowestRow(const Format& format, std::span<const uint8_t> page) {
  unsigned n = Slots(format, page);
  return n == 0 ? page.size() : SlotStart(format, page, n - 1);
}

}  // namespace

std::vector<uint8_t> NewDataPage(const Format& format, uint32_t owner) {
  std::vector<uint8_t> page(format.page_size, 0);
  page[0] = kPageData;
  page[1] = 0x01;
  StoreU16(&page[2], uint16_t(format.page_size - format.data_slots));
  page[4] = uint8_t(owner);
  page[5] = uint8_t(owner >> 8);
  page[6] = uint8_t(owner >> 16);
  page[7] = uint8_t(owner >> 24);
  return page;
}

size_t DataPageFreeSpace(std::span<const uint8_t> page) { return LoadU16(page.data() + 2); }

bool DataPageFits(const Format& format, std::span<const uint8_t> page, size_t size) {
  if (Slots(format, page) >= kMaxRowsPerPage) return false;
  // The free-space field may be stale in a damaged file; the geometry decides.
  size_t table_end = format.data_slots + 2 * size_t(Slots(format, page));
  size_t lowest = LowestRow(format, page);
  return lowest >= table_end + 2 + size && DataPageFreeSpace(page) >= size + 2;
}

unsigned AppendDataRow(const Format& format, std::vector<uint8_t>& page,
                       std::span<const uint8_t> row, uint16_t slot_flags) {
  unsigned n = Slots(format, page);
  size_t start = LowestRow(format, page) - row.size();
  std::memcpy(&page[start], row.data(), row.size());
  StoreU16(&page[format.data_slots + 2 * n], uint16_t(start | slot_flags));
  StoreU16(&page[format.data_row_count], uint16_t(n + 1));
  StoreU16(&page[2], uint16_t(DataPageFreeSpace(page) - row.size() - 2));
  return n;
}

bool ReplaceDataRow(const Format& format, std::vector<uint8_t>& page, unsigned row,
                    std::span<const uint8_t> bytes, uint16_t slot_flags) {
  unsigned n = Slots(format, page);
  size_t end = row == 0 ? page.size() : SlotStart(format, page, row - 1);
  size_t start = SlotStart(format, page, row);
  size_t old_size = end - start;
  size_t lowest = LowestRow(format, page);
  size_t table_end = format.data_slots + 2 * size_t(n);
  if (bytes.size() > old_size && lowest - table_end < bytes.size() - old_size) return false;
  // Rows after this one move by the size difference (down when it grows).
  ptrdiff_t shift = ptrdiff_t(old_size) - ptrdiff_t(bytes.size());
  if (shift != 0 && start > lowest) {
    std::memmove(&page[lowest + shift], &page[lowest], start - lowest);
  }
  size_t new_start = end - bytes.size();
  if (!bytes.empty()) std::memcpy(&page[new_start], bytes.data(), bytes.size());
  StoreU16(&page[format.data_slots + 2 * row], uint16_t(new_start | slot_flags));
  for (unsigned i = row + 1; i < n; ++i) {
    uint16_t word = LoadU16(&page[format.data_slots + 2 * i]);
    size_t offset = (word & kSlotOffsetMask) + shift;
    StoreU16(&page[format.data_slots + 2 * i], uint16_t((word & ~kSlotOffsetMask) | offset));
  }
  StoreU16(&page[2], uint16_t(DataPageFreeSpace(page) + shift));
  return true;
}

}  // namespace act::db::jet
