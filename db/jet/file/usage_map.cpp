#include "db/jet/file/usage_map.h"

#include <string>

namespace act::db::jet {

namespace {

void AddBits(const Page& page, std::span<const uint8_t> bitmap, uint64_t first,
             uint32_t page_count, bool drop_past_end, std::vector<uint32_t>& pages) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bitmap[byte] & (1u << bit))) continue;
      uint64_t number = first + byte * 8 + bit;
      if (number >= page_count) {
        if (drop_past_end) return;
        page.Fail("usage map names page " + std::to_string(number) + " past the end of the file");
      }
      pages.push_back(uint32_t(number));
    }
  }
}

RowBytes ReadMapRow(Pager& pager, const Format& format, MapRef ref) {
  auto row = ReadRowAt(pager, format, {ref.page, ref.row}, std::nullopt);
  if (!row) throw PageFailure(pager.path(), ref.page, "usage map row " +
                              std::to_string(ref.row) + " is deleted");
  if (row->bytes.empty()) row->page->Fail("empty usage map row " + std::to_string(ref.row));
  return *row;
}

// Calls on_bitmap(page, first) for each bitmap page of a reference map,
// `first` being the first page it covers. An entry whose run starts past
// the end of the file is left out: it cannot list a page of the file, and
// Access leaves such entries holding no page number (0xFFFFFF80 in one
// Access 2000 file).
template <typename OnBitmap>
void ForEachBitmap(Pager& pager, std::span<const uint8_t> row, OnBitmap on_bitmap) {
  const uint64_t per_page = uint64_t(pager.page_size() - 4) * 8;
  for (size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i) {
    uint32_t map_page = LoadU32(row.data() + 1 + 4 * i);
    if (map_page == 0 || i * per_page >= pager.page_count()) continue;
    on_bitmap(map_page, i * per_page);
  }
}

}  // namespace

std::vector<uint32_t> ReadUsageMap(Pager& pager, const Format& format, MapRef ref,
                                   bool drop_past_end) {
  std::vector<uint32_t> pages;
  if (ref.empty()) return pages;
  RowBytes row = ReadMapRow(pager, format, ref);
  const Page& page = *row.page;
  std::span<const uint8_t> bytes = row.bytes;
  switch (bytes[0]) {
    case 0: {  // inline: u32 first page, then the bitmap
      if (bytes.size() < 5) page.Fail("inline usage map too short");
      AddBits(page, bytes.subspan(5), LoadU32(bytes.data() + 1), pager.page_count(),
              drop_past_end, pages);
      break;
    }
    case 1: {  // reference: u32 numbers of bitmap pages, each covering a run
      ForEachBitmap(pager, bytes, [&](uint32_t map_page, uint64_t first) {
        PageRef bitmap = pager.Get(map_page);
        if (bitmap->U8(0) != kPageUsageBitmap) {
          bitmap->Fail("expected a usage bitmap page, found type " +
                       std::to_string(bitmap->U8(0)));
        }
        AddBits(*bitmap, bitmap->Bytes(4, bitmap->size() - 4), first, pager.page_count(),
                drop_past_end, pages);
      });
      break;
    }
    default:
      page.Fail("unknown usage map type " + std::to_string(bytes[0]));
  }
  return pages;
}

std::vector<uint32_t> UsageMapStorage(Pager& pager, const Format& format, MapRef ref) {
  std::vector<uint32_t> pages;
  if (ref.empty()) return pages;
  pages.push_back(ref.page);
  RowBytes row = ReadMapRow(pager, format, ref);
  if (row.bytes[0] == 1) {
    ForEachBitmap(pager, row.bytes, [&](uint32_t map_page, uint64_t) { pages.push_back(map_page); });
  }
  return pages;
}

}  // namespace act::db::jet
