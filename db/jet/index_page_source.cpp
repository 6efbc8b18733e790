#include "db/jet/index_page_source.h"

#include "db/errors.h"
#include "db/jet/data_page.h"
#include "db/jet/page_allocator.h"
#include "db/jet/write_order.h"

#include <memory>

namespace act::db::jet {

IndexPageSource IndexPagesOf(Database& db, const TableDefinition& table, const RealIndex& index) {
  // The allocator keeps the global map and the index's own map, in inline
  // or reference form, and reuses freed pages.
  auto allocator = std::make_shared<PageAllocator>(db);
  auto definition = std::make_shared<TableDefinition>(table);
  int position = int(index.number);
  uint32_t owner = table.page;
  MapRef map = index.map;
  IndexPageSource source;
  source.allocate = [&db, allocator, definition, position, owner] {
    uint32_t page = allocator->AllocateIndexPage(*definition, position);
    std::vector<uint8_t> empty(db.pager().page_size(), 0);
    empty[0] = kPageIndexLeaf;
    empty[1] = 0x01;
    for (int i = 0; i < 4; ++i) empty[4 + i] = uint8_t(owner >> (8 * i));
    db.pager().Write(page, std::move(empty), kWriteIndexes);
    return page;
  };
  source.release = [allocator, map](uint32_t page) {
    allocator->maps().Set(map, page, false);
    allocator->FreePage(page);
  };
  return source;
}

}  // namespace act::db::jet
