#include "db/jet/file/usage_map_writer.h"

#include <algorithm>
#include <string>

#include "db/errors.h"
#include "db/jet/file/data_page.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;

}  // namespace

UsageMapWriter::UsageMapWriter(Pager& pager, const Format& format,
                               std::function<uint32_t(bool)> new_bitmap_page)
    : pager_(pager), format_(format), new_bitmap_page_(std::move(new_bitmap_page)) {}

UsageMapWriter::MapView UsageMapWriter::View(MapRef ref) {
  PageRef page = pager_.Get(ref.page);
  CheckDataPage(*page, std::nullopt);
  Slot slot = ReadSlot(*page, format_, ref.row);
  if ((slot.flags & kSlotDeleted) || slot.size() < 5) {
    page->Fail("usage map row " + std::to_string(ref.row) + " is missing or too short");
  }
  uint8_t type = page->U8(slot.start);
  if (type != kInlineMap && type != kReferenceMap) {
    page->Fail("unknown usage map type " + std::to_string(type));
  }
  return MapView{page, slot.start, slot.size()};
}

UsageMapWriter::MapRow UsageMapWriter::Load(MapRef ref) {
  MapView view = View(ref);
  return MapRow{view.page->bytes(), view.start, view.size};
}

void UsageMapWriter::SetByte(uint32_t page, size_t offset, uint8_t value) {
  if (pager_.SetPendingByte(page, offset, value, kWriteMaps)) return;
  std::vector<uint8_t> image = pager_.Get(page)->bytes();
  image[offset] = value;
  pager_.Write(page, std::move(image), kWriteMaps);
}

void UsageMapWriter::SetBitmapBit(uint32_t bitmap, uint32_t k, bool on) {
  PageRef bits = pager_.Get(bitmap);
  if (bits->U8(0) != kPageUsageBitmap) bits->Fail("expected a usage bitmap page");
  uint8_t mask = uint8_t(1u << (k % 8));
  uint8_t byte = bits->U8(4 + k / 8);
  if (bool(byte & mask) == on) return;
  bits.reset();
  SetByte(bitmap, 4 + k / 8, on ? (byte | mask) : (byte & ~mask));
}

void UsageMapWriter::Store(MapRef ref, const MapRow& row) {
  pager_.Write(ref.page, row.page, kWriteMaps);
}

bool UsageMapWriter::Test(MapRef ref, uint32_t page, bool outside_set) {
  MapView row = View(ref);
  const uint8_t* r = row.page->bytes().data() + row.start;
  if (r[0] == kInlineMap) {
    uint32_t first = LoadU32(r + 1);
    uint64_t bits = uint64_t(row.size - 5) * 8;
    if (page < first || page - first >= bits) return outside_set;
    uint32_t k = page - first;
    return (r[5 + k / 8] >> (k % 8)) & 1;
  }
  uint32_t entry = page / PagesPerBitmap();
  if (1 + 4 * size_t(entry) + 4 > row.size) return outside_set;
  uint32_t bitmap = LoadU32(r + 1 + 4 * entry);
  // Without a bitmap page, the pages of the run that lie inside the file
  // are in use (Access leaves a global map with no bitmap page at all).
  if (bitmap == 0) return outside_set && page >= pager_.page_count();
  PageRef bits = pager_.Get(bitmap);
  uint32_t k = page % PagesPerBitmap();
  return (bits->U8(4 + k / 8) >> (k % 8)) & 1;
}

void UsageMapWriter::ToReference(MapRef ref, bool outside_set) {
  MapRow row = Load(ref);
  const uint8_t* r = row.page.data() + row.start;
  uint32_t first = LoadU32(r + 1);
  std::vector<uint32_t> listed;
  for (size_t k = 0; k < (row.size - 5) * 8; ++k) {
    if ((r[5 + k / 8] >> (k % 8)) & 1) listed.push_back(uint32_t(first + k));
  }
  if (outside_set && first != 0) {
    throw PageFailure(pager_.path(), ref.page, "global map does not start at page 0");
  }
  // Clear the row first: from here on every covered page goes through a
  // bitmap page, created as Set() needs one.
  std::fill(row.page.begin() + row.start, row.page.begin() + row.start + row.size, 0);
  row.page[row.start] = kReferenceMap;
  Store(ref, row);
  // A run without a bitmap page reads as its pages inside the file in use
  // and those past the end free (for the global map), so only the free pages
  // inside the file need a bit.
  for (uint32_t p : listed) {
    if (!outside_set || p < pager_.page_count()) Set(ref, p, true, outside_set);
  }
}

void UsageMapWriter::Set(MapRef ref, uint32_t page, bool on, bool outside_set) {
  {
    // Most calls change one bit, or none, of a map row or bitmap page that
    // is already there: read the row where the pager keeps it, copy nothing.
    MapView view = View(ref);
    const uint8_t* r = view.page->bytes().data() + view.start;
    if (r[0] == kInlineMap) {
      uint32_t first = LoadU32(r + 1);
      uint64_t bits = uint64_t(view.size - 5) * 8;
      if (page >= first && page - first < bits) {
        uint32_t k = page - first;
        uint8_t mask = uint8_t(1u << (k % 8));
        uint8_t byte = r[5 + k / 8];
        if (bool(byte & mask) == on) return;
        const size_t offset = view.start + 5 + k / 8;
        view.page.reset();
        SetByte(ref.page, offset, on ? (byte | mask) : (byte & ~mask));
        return;
      }
    } else {
      uint32_t entry = page / PagesPerBitmap();
      if (1 + 4 * size_t(entry) + 4 <= view.size) {
        uint32_t bitmap = LoadU32(r + 1 + 4 * entry);
        if (bitmap != 0) {
          SetBitmapBit(bitmap, page % PagesPerBitmap(), on);
          return;
        }
      }
    }
  }
  // The page lies outside an inline map's window, or under a bitmap page
  // that does not exist yet.
  MapRow row = Load(ref);
  uint8_t* r = row.page.data() + row.start;
  if (r[0] == kInlineMap) {
    uint32_t first = LoadU32(r + 1);
    uint64_t bits = uint64_t(row.size - 5) * 8;
    if (on == outside_set) return;  // already reads that way
    if (!outside_set) {
      // Move the window when the listed pages and the new one fit in it.
      uint32_t low = page, high = page;
      for (uint64_t k = 0; k < bits; ++k) {
        if ((r[5 + k / 8] >> (k % 8)) & 1) {
          low = std::min<uint32_t>(low, uint32_t(first + k));
          high = std::max<uint32_t>(high, uint32_t(first + k));
        }
      }
      uint32_t new_first = low / 8 * 8;
      if (high - new_first < bits) {
        std::vector<uint8_t> moved(bits / 8, 0);
        for (uint64_t k = 0; k < bits; ++k) {
          if ((r[5 + k / 8] >> (k % 8)) & 1) {
            uint32_t n = uint32_t(first + k) - new_first;
            moved[n / 8] |= uint8_t(1u << (n % 8));
          }
        }
        uint32_t n = page - new_first;
        moved[n / 8] |= uint8_t(1u << (n % 8));
        StoreU32(r + 1, new_first);
        std::copy(moved.begin(), moved.end(), r + 5);
        Store(ref, row);
        return;
      }
    }
    ToReference(ref, outside_set);
    Set(ref, page, on, outside_set);
    return;
  }
  uint32_t per = PagesPerBitmap();
  uint32_t entry = page / per;
  if (1 + 4 * size_t(entry) + 4 > row.size) {
    if (on == outside_set) return;
    throw PageFailure(pager_.path(), ref.page,
                      "usage map cannot list page " + std::to_string(page) +
                          ": the database is too large");
  }
  uint32_t bitmap = LoadU32(r + 1 + 4 * entry);
  if (bitmap == 0) {
    if (on == (outside_set && page >= pager_.page_count())) return;  // already reads that way
    bitmap = new_bitmap_page_(outside_set);
    std::vector<uint8_t> image(pager_.page_size(), 0x00);
    image[0] = kPageUsageBitmap;
    image[1] = 0x01;
    if (outside_set) {
      // The global map's new run: pages inside the file (this bitmap page
      // among them) stay in use, those past the end are free.
      for (uint64_t k = 0; k < per; ++k) {
        if (uint64_t(entry) * per + k >= pager_.page_count()) {
          image[4 + k / 8] |= uint8_t(1u << (k % 8));
        }
      }
    }
    pager_.Write(bitmap, image, kWriteMaps);
    // The allocation may have changed this very map (the global map lists
    // its own bitmap pages): read the row again.
    row = Load(ref);
    r = row.page.data() + row.start;
    StoreU32(r + 1 + 4 * entry, bitmap);
    Store(ref, row);
    // The global map's new bitmap page came from the end of the file: in
    // another run, whose bitmap marked the pages past the old end free, it
    // must now read as in use.
    if (outside_set && bitmap / per != entry) Set(ref, bitmap, false, true);
  }
  SetBitmapBit(bitmap, page % per, on);
}

std::optional<uint32_t> UsageMapWriter::FindSet(MapRef ref, uint32_t from, uint32_t limit) {
  MapView row = View(ref);
  const uint8_t* r = row.page->bytes().data() + row.start;
  if (r[0] == kInlineMap) {
    uint32_t first = LoadU32(r + 1);
    uint64_t bits = uint64_t(row.size - 5) * 8;
    for (uint64_t p = std::max(from, first); p < limit && p - first < bits; ++p) {
      uint64_t k = p - first;
      if (r[5 + k / 8] == 0 && k % 8 == 0) {
        p += 7;
        continue;
      }
      if ((r[5 + k / 8] >> (k % 8)) & 1) return uint32_t(p);
    }
    return std::nullopt;
  }
  uint32_t per = PagesPerBitmap();
  for (uint64_t p = from; p < limit;) {
    uint32_t entry = uint32_t(p / per);
    if (1 + 4 * size_t(entry) + 4 > row.size) break;
    uint32_t bitmap = LoadU32(r + 1 + 4 * entry);
    if (bitmap == 0) {
      p = uint64_t(entry + 1) * per;
      continue;
    }
    PageRef bits = pager_.Get(bitmap);
    for (; p < limit && p / per == entry; ++p) {
      uint32_t k = uint32_t(p % per);
      uint8_t byte = bits->U8(4 + k / 8);
      if (byte == 0 && k % 8 == 0) {
        p += 7;
        continue;
      }
      if ((byte >> (k % 8)) & 1) return uint32_t(p);
    }
  }
  return std::nullopt;
}

}  // namespace act::db::jet
