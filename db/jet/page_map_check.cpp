#include "db/jet/page_map_check.h"

#include <map>
#include <set>

#include "db/jet/data_page.h"
#include "db/jet/long_value.h"

namespace act::db::jet {

namespace {

// Pages behind a map ref: the page holding the row, and a reference map's
// bitmap pages.
void MapStoragePages(Pager& pager, const Format& format, MapRef ref, std::set<uint32_t>& pages) {
  if (ref.empty()) return;
  pages.insert(ref.page);
  auto row = ReadRowAt(pager, format, {ref.page, ref.row}, std::nullopt);
  if (!row || row->bytes.empty() || row->bytes[0] != 1) return;
  for (size_t i = 1; i + 4 <= row->bytes.size(); i += 4) {
    uint32_t p = LoadU32(row->bytes.data() + i);
    if (p != 0) pages.insert(p);
  }
}

std::string Name(uint32_t tdef) { return "table at TDEF " + std::to_string(tdef); }

}  // namespace

void CheckPagesAndMaps(Database& db, std::vector<ConsistencyFinding>& out) {
  Pager& pager = db.pager();
  const Format& format = db.format();
  auto problem = [&](std::string text) {
    out.push_back({ConsistencyFinding::Kind::kFault, "", std::move(text)});
  };
  std::map<uint32_t, std::string> used;  // page -> what uses it
  auto use = [&](uint32_t page, const std::string& what) {
    auto [it, fresh] = used.emplace(page, what);
    if (!fresh && it->second != what) {
      problem("page " + std::to_string(page) + " used twice: " + it->second + " and " + what);
    }
  };
  use(0, "header");
  use(1, "global map");
  std::set<uint32_t> storage;
  MapStoragePages(pager, format, MapRef{0, 1}, storage);
  for (uint32_t p : storage) if (p != 1) use(p, "global map bitmap");

  for (const CatalogEntry& entry : db.tables()) {
    auto table = std::make_shared<TableDefinition>(
        ReadTableDefinition(pager, format, entry.tdef_page));
    const std::string name = Name(table->page) + " '" + entry.name + "'";
    for (uint32_t p : table->pages) use(p, name + " definition");
    std::set<uint32_t> map_pages;
    MapStoragePages(pager, format, table->owned_map, map_pages);
    MapStoragePages(pager, format, table->free_map, map_pages);
    for (const RealIndex& index : table->real_indexes) MapStoragePages(pager, format, index.map, map_pages);
    for (const LongValueMaps& m : table->long_value_maps) {
      MapStoragePages(pager, format, m.owned, map_pages);
      MapStoragePages(pager, format, m.free, map_pages);
    }
    // Map pages may hold the rows of several tables' maps.
    for (uint32_t p : map_pages) used.emplace(p, "usage maps");

    auto owned = ReadUsageMap(pager, format, table->owned_map);
    std::set<uint32_t> owned_set(owned.begin(), owned.end());
    for (uint32_t p : owned) {
      use(p, name + " rows");
      PageRef page = pager.Get(p);
      if (page->U8(0) != kPageData || page->U32(4) != table->page) {
        problem(name + ": owned page " + std::to_string(p) + " is no data page of the table");
        continue;
      }
      unsigned slots = SlotCount(*page, format);
      size_t extents = 0;
      for (unsigned r = 0; r < slots; ++r) extents += ReadSlot(*page, format, r).size();
      size_t expected = format.page_size - format.data_slots - 2 * slots - extents;
      if (page->U16(2) != expected) {
        problem(name + ": page " + std::to_string(p) + " free space " +
                std::to_string(page->U16(2)) + ", rows leave " + std::to_string(expected));
      }
    }
    for (uint32_t p : ReadUsageMap(pager, format, table->free_map)) {
      if (!owned_set.count(p)) {
        problem(name + ": free-space map lists page " + std::to_string(p) + " it does not own");
      }
    }
    for (const RealIndex& index : table->real_indexes) {
      for (uint32_t p : ReadUsageMap(pager, format, index.map)) {
        use(p, name + " index " + std::to_string(index.number));
        uint8_t type = pager.Get(p)->U8(0);
        if (type != kPageIndexNode && type != kPageIndexLeaf) {
          problem(name + ": index page " + std::to_string(p) + " has type " + std::to_string(type));
        }
      }
    }
    for (const LongValueMaps& m : table->long_value_maps) {
      auto lv = ReadUsageMap(pager, format, m.owned);
      std::set<uint32_t> lv_set(lv.begin(), lv.end());
      for (uint32_t p : lv) {
        use(p, name + " long values");
        PageRef page = pager.Get(p);
        if (page->U8(0) != kPageData || page->U32(4) != kLongValueOwner) {
          problem(name + ": long-value page " + std::to_string(p) + " is no LVAL page");
        }
      }
      for (uint32_t p : ReadUsageMap(pager, format, m.free)) {
        if (!lv_set.count(p)) problem(name + ": LVAL free map lists unowned page " + std::to_string(p));
      }
    }
  }

  // The global map: a set bit means free.
  std::set<uint32_t> free_pages;
  {
    auto row = ReadRowAt(pager, format, {1, 0}, std::nullopt);
    std::vector<uint32_t> listed;
    if (row && !row->bytes.empty() && row->bytes[0] == 0) {
      // Inline: pages past the file's end are set too; only count the file.
      uint32_t first = LoadU32(row->bytes.data() + 1);
      for (size_t k = 0; k < (row->bytes.size() - 5) * 8; ++k) {
        if ((row->bytes[5 + k / 8] >> (k % 8)) & 1) {
          if (first + k < pager.page_count()) free_pages.insert(uint32_t(first + k));
        }
      }
    } else {
      uint64_t per = uint64_t(pager.page_size() - 4) * 8;
      for (size_t i = 1; row && i + 4 <= row->bytes.size(); i += 4) {
        uint32_t bitmap = LoadU32(row->bytes.data() + i);
        if (bitmap == 0) continue;
        PageRef bits = pager.Get(bitmap);
        for (uint64_t k = 0; k < per; ++k) {
          uint64_t p = (i - 1) / 4 * per + k;
          if (p >= pager.page_count()) break;
          if ((bits->U8(4 + k / 8) >> (k % 8)) & 1) free_pages.insert(uint32_t(p));
        }
      }
    }
  }
  for (uint32_t p = 0; p < pager.page_count(); ++p) {
    bool in_use = used.count(p) > 0, free = free_pages.count(p) > 0;
    if (in_use && free) problem("page " + std::to_string(p) + " (" + used[p] + ") is marked free");
    if (!in_use && !free) problem("page " + std::to_string(p) + " is neither used nor free");
  }
}

}  // namespace act::db::jet
