#include "db/jet/index/index_page_source.h"

#include <memory>

namespace act::db::jet {

namespace {

IndexPageSource Through(std::shared_ptr<PageAllocator> owned, PageAllocator& allocator,
                        const TableDefinition& table, const RealIndex& index) {
  // The allocator keeps the global map and the index's own map, in inline
  // or reference form, and reuses freed pages. The page's image is the
  // tree's to write.
  auto definition = std::make_shared<TableDefinition>(table);
  int position = int(index.number);
  MapRef map = index.map;
  IndexPageSource source;
  source.allocate = [owned, &allocator, definition, position] {
    return allocator.AllocateIndexPage(*definition, position);
  };
  source.release = [owned, &allocator, map](uint32_t page) {
    allocator.maps().Set(map, page, false);
    allocator.FreePage(page);
  };
  return source;
}

}  // namespace

IndexPageSource IndexPagesOf(PageAllocator& allocator, const TableDefinition& table,
                             const RealIndex& index) {
  return Through(nullptr, allocator, table, index);
}

IndexPageSource IndexPagesOf(Database& db, const TableDefinition& table, const RealIndex& index) {
  auto owned = std::make_shared<PageAllocator>(db);
  return Through(owned, *owned, table, index);
}

}  // namespace act::db::jet
