#include "db/jet/usage_map.h"

#include <string>

namespace act::db::jet {

namespace {

void AddBits(const Page& page, std::span<const uint8_t> bitmap, uint64_t first,
             uint32_t page_count, std::vector<uint32_t>& pages) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bitmap[byte] & (1u << bit))) continue;
      uint64_t number = first + byte * 8 + bit;
      if (number >= page_count) {
        page.Fail("usage map names page " + std::to_string(number) + " past the end of the file");
      }
      pages.push_back(uint32_t(number));
    }
  }
}

}  // namespace

std::vector<uint32_t> ReadUsageMap(Pager& pager, const Format& format, MapRef ref) {
  std::vector<uint32_t> pages;
  if (ref.empty()) return pages;
  auto row = ReadRowAt(pager, format, {ref.page, ref.row}, std::nullopt);
  if (!row) throw PageFailure(pager.path(), ref.page, "usage map row " +
                              std::to_string(ref.row) + " is deleted");
  const Page& page = *row->page;
  std::span<const uint8_t> bytes = row->bytes;
  if (bytes.empty()) page.Fail("empty usage map row " + std::to_string(ref.row));
  switch (bytes[0]) {
    case 0: {  // inline: u32 first page, then the bitmap
      if (bytes.size() < 5) page.Fail("inline usage map too short");
      AddBits(page, bytes.subspan(5), LoadU32(bytes.data() + 1), pager.page_count(), pages);
      break;
    }
    case 1: {  // reference: u32 numbers of bitmap pages, each covering a run
      uint64_t per_page = uint64_t(pager.page_size() - 4) * 8;
      for (size_t i = 0; 1 + 4 * i + 4 <= bytes.size(); ++i) {
        uint32_t map_page = LoadU32(bytes.data() + 1 + 4 * i);
        if (map_page == 0) continue;
        PageRef bitmap = pager.Get(map_page);
        if (bitmap->U8(0) != kPageUsageBitmap) {
          bitmap->Fail("expected a usage bitmap page, found type " +
                       std::to_string(bitmap->U8(0)));
        }
        AddBits(*bitmap, bitmap->Bytes(4, bitmap->size() - 4), i * per_page,
                pager.page_count(), pages);
      }
      break;
    }
    default:
      page.Fail("unknown usage map type " + std::to_string(bytes[0]));
  }
  return pages;
}

}  // namespace act::db::jet
