#include "db/jet/table/page_allocator.h"

#include <string>

#include "db/errors.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr MapRef kGlobalMap{0, 1};

const LongValueMaps& LongValueMapsOf(const TableDefinition& table, int column,
                                     const std::string& file) {
  for (const LongValueMaps& maps : table.long_value_maps) {
    if (maps.column_number == column && !maps.owned.empty()) return maps;
  }
  throw PageFailure(file, table.page,
                    "memo/OLE column " + std::to_string(column) + " has no usage map");
}

}  // namespace

PageAllocator::PageAllocator(Database& db)
    : db_(db),
      maps_(db.pager(), db.format(), [this](bool for_global) {
        uint32_t page = Reserve();
        if (!for_global) maps_.Set(kGlobalMap, page, false, true);
        return page;
      }) {}

uint32_t PageAllocator::Reserve() {
  Pager& pager = db_.pager();
  uint32_t page = pager.page_count();
  // Holds the number until the caller writes the real image.
  pager.Write(page, std::vector<uint8_t>(pager.page_size(), 0), kWriteRows);
  return page;
}

uint32_t PageAllocator::TakePage() {
  Pager& pager = db_.pager();
  if (auto free = maps_.FindSet(kGlobalMap, search_from_, pager.page_count())) {
    search_from_ = *free + 1;
    maps_.Set(kGlobalMap, *free, false, true);
    return *free;
  }
  search_from_ = pager.page_count() + 1;
  uint32_t page = Reserve();
  maps_.Set(kGlobalMap, page, false, true);
  return page;
}

uint32_t PageAllocator::AllocateDataPage(const TableDefinition& table) {
  uint32_t page = TakePage();
  maps_.Set(table.owned_map, page, true);
  maps_.Set(table.free_map, page, true);
  return page;
}

uint32_t PageAllocator::AllocateIndexPage(const TableDefinition& table, int real_index) {
  if (real_index < 0 || size_t(real_index) >= table.real_indexes.size()) {
    throw PageFailure(db_.path(), table.page, "no real index " + std::to_string(real_index));
  }
  uint32_t page = TakePage();
  maps_.Set(table.real_indexes[real_index].map, page, true);
  return page;
}

uint32_t PageAllocator::AllocateLongValuePage(const TableDefinition& table, int column) {
  const LongValueMaps& maps = LongValueMapsOf(table, column, db_.path());
  uint32_t page = TakePage();
  maps_.Set(maps.owned, page, true);
  if (!maps.free.empty()) maps_.Set(maps.free, page, true);
  return page;
}

uint32_t PageAllocator::AllocateUnownedPage() { return TakePage(); }

void PageAllocator::MarkPageFull(const TableDefinition& table, uint32_t page) {
  maps_.Set(table.free_map, page, false);
}

void PageAllocator::MarkLongValuePageFull(const TableDefinition& table, int column,
                                          uint32_t page) {
  const LongValueMaps& maps = LongValueMapsOf(table, column, db_.path());
  if (!maps.free.empty()) maps_.Set(maps.free, page, false);
}

void PageAllocator::FreePage(const TableDefinition& table, uint32_t page) {
  if (!table.owned_map.empty()) maps_.Set(table.owned_map, page, false);
  if (!table.free_map.empty()) maps_.Set(table.free_map, page, false);
  for (const RealIndex& index : table.real_indexes) {
    if (!index.map.empty()) maps_.Set(index.map, page, false);
  }
  for (const LongValueMaps& maps : table.long_value_maps) {
    if (!maps.owned.empty()) maps_.Set(maps.owned, page, false);
    if (!maps.free.empty()) maps_.Set(maps.free, page, false);
  }
  FreePage(page);
}

void PageAllocator::FreePage(uint32_t page) {
  maps_.Set(kGlobalMap, page, true, true);
  if (page < search_from_) search_from_ = page;
}

}  // namespace act::db::jet
