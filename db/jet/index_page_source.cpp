#include "db/jet/index_page_source.h"

#include <memory>

#include "db/jet/page_allocator.h"

namespace act::db::jet {

IndexPageSource IndexPagesOf(Database& db, const TableDefinition& table, const RealIndex& index) {
  auto allocator = std::make_shared<PageAllocator>(db);
  int number = int(index.number);
  IndexPageSource source;
  source.allocate = [allocator, &table, number] {
    return allocator->AllocateIndexPage(table, number);
  };
  source.release = [allocator, &table](uint32_t page) { allocator->FreePage(table, page); };
  return source;
}

}  // namespace act::db::jet
