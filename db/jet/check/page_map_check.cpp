#include "db/jet/check/page_map_check.h"

#include <set>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/table/long_value.h"
#include "db/jet/file/usage_map.h"

namespace act::db::jet {

namespace {

constexpr MapRef kGlobalMap{0, 1};
constexpr uint32_t kGlobalMapPage = 1;

// "page 7", "pages 53-63, 70": runs of ascending page numbers, the first
// dozen of them.
std::string PageList(const std::vector<uint32_t>& pages) {
  constexpr size_t kMaxRuns = 12;
  std::string text = pages.size() == 1 ? "page " : "pages ";
  size_t runs = 0;
  for (size_t i = 0; i < pages.size(); ++runs) {
    size_t j = i;
    while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
    if (runs == kMaxRuns) {
      text += ", ...";
      break;
    }
    if (runs > 0) text += ", ";
    text += std::to_string(pages[i]);
    if (j > i) text += "-" + std::to_string(pages[j]);
    i = j + 1;
  }
  return text;
}

}  // namespace

void CheckPagesAndMaps(Database& db, const PagesInUse& pointed_into, ConsistencyReport& report) {
  Pager& pager = db.pager();
  const Format& format = db.format();
  report.pages = pager.page_count();
  auto damage = [&](const std::string& subject, std::string text) {
    report.findings.push_back({ConsistencyFinding::Kind::kDamage, subject, std::move(text)});
  };
  std::map<uint32_t, std::string> used;  // page -> what uses it
  auto use = [&](uint32_t page, const std::string& what) {
    auto [it, fresh] = used.emplace(page, what);
    if (!fresh && it->second != what) {
      damage(kWholeFile, "page " + std::to_string(page) + " used twice: " + it->second + " and " +
                             what);
    }
  };
  use(0, "header");
  use(kGlobalMapPage, "global map");
  // Page 1 holds the global map in row 0, and in big files another map in
  // row 1 (Northwind's names a bitmap page of its own).
  {
    PageRef maps = pager.Get(kGlobalMapPage);
    CheckDataPage(*maps, std::nullopt);
    for (unsigned r = 0; r < SlotCount(*maps, format); ++r) {
      if (ReadSlot(*maps, format, r).flags & kSlotDeleted) continue;
      for (uint32_t p : UsageMapStorage(pager, format, MapRef{uint8_t(r), kGlobalMapPage})) {
        if (p != kGlobalMapPage) use(p, "bitmap of map row " + std::to_string(r) + " on page 1");
      }
    }
  }

  for (const CatalogEntry& entry : db.tables()) {
    auto table = std::make_shared<TableDefinition>(
        ReadTableDefinition(pager, format, entry.tdef_page));
    auto problem = [&](std::string text) { damage(entry.name, std::move(text)); };
    const std::string name = "table '" + entry.name + "'";
    for (uint32_t p : table->pages) use(p, name + " definition");
    std::vector<MapRef> maps = {table->owned_map, table->free_map};
    for (const RealIndex& index : table->real_indexes) maps.push_back(index.map);
    for (const LongValueMaps& m : table->long_value_maps) {
      maps.push_back(m.owned);
      maps.push_back(m.free);
    }
    // Map pages may hold the rows of several tables' maps.
    for (MapRef map : maps) {
      for (uint32_t p : UsageMapStorage(pager, format, map)) used.emplace(p, "usage maps");
    }

    auto owned = ReadUsageMap(pager, format, table->owned_map);
    std::set<uint32_t> owned_set(owned.begin(), owned.end());
    for (uint32_t p : owned) {
      use(p, name + " rows");
      PageRef page = pager.Get(p);
      if (page->U8(0) != kPageData || page->U32(4) != table->page) {
        problem("owned page " + std::to_string(p) + " is no data page of the table");
        continue;
      }
      unsigned slots = SlotCount(*page, format);
      size_t extents = 0;
      for (unsigned r = 0; r < slots; ++r) extents += ReadSlot(*page, format, r).size();
      size_t expected = format.page_size - format.data_slots - 2 * slots - extents;
      if (page->U16(2) != expected) {
        problem("page " + std::to_string(p) + " free space " + std::to_string(page->U16(2)) +
                ", rows leave " + std::to_string(expected));
      }
    }
    for (uint32_t p : ReadUsageMap(pager, format, table->free_map)) {
      if (!owned_set.count(p)) {
        problem("free-space map lists page " + std::to_string(p) + " it does not own");
      }
    }
    for (const RealIndex& index : table->real_indexes) {
      for (uint32_t p : ReadUsageMap(pager, format, index.map)) {
        use(p, name + " index " + std::to_string(index.number));
        uint8_t type = pager.Get(p)->U8(0);
        if (type != kPageIndexNode && type != kPageIndexLeaf) {
          problem("index page " + std::to_string(p) + " has type " + std::to_string(type));
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
          problem("long-value page " + std::to_string(p) + " is no LVAL page");
        }
      }
      for (uint32_t p : ReadUsageMap(pager, format, m.free)) {
        if (!lv_set.count(p)) problem("LVAL free map lists unowned page " + std::to_string(p));
      }
    }
  }

  // The global map: a set bit means free; it marks every page past the
  // file's end free too.
  std::set<uint32_t> free_pages;
  for (uint32_t p : ReadUsageMap(pager, format, kGlobalMap, true)) free_pages.insert(p);
  std::vector<uint32_t> unowned;
  for (uint32_t p = 0; p < pager.page_count(); ++p) {
    const bool in_use = used.count(p) > 0, free = free_pages.count(p) > 0;
    auto live = pointed_into.find(p);
    const std::string page = "page " + std::to_string(p);
    if (in_use && free) {
      damage(kWholeFile, page + " (" + used[p] + ") is marked free: a write may overwrite it");
    } else if (!in_use && live != pointed_into.end()) {
      // The writer hands out only pages marked free, so an unowned page is
      // never reused by it; but nothing owns the live data lying there.
      damage(kWholeFile, page + " holds " + live->second + ", yet no map owns it" +
                             (free ? " and it is marked free: a write may overwrite it" : ""));
    } else if (!in_use && !free) {
      unowned.push_back(p);
    }
  }
  report.recoverable_pages = unowned.size();
  if (!unowned.empty()) {
    report.findings.push_back(
        {ConsistencyFinding::Kind::kNote, kWholeFile,
         PageList(unowned) + (unowned.size() == 1 ? " belongs" : " belong") +
             " to nothing and " + (unowned.size() == 1 ? "is" : "are") +
             " not marked free: space that compaction recovers"});
  }
}

}  // namespace act::db::jet
