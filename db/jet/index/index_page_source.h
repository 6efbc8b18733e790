// The pages an index tree grows into and gives back: allocated through the
// writer's page allocator so that the index's usage map and the global map
// stay exact.
#pragma once

#include "db/jet/table/database.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

// Through `allocator`, which must outlive the source.
IndexPageSource IndexPagesOf(PageAllocator& allocator, const TableDefinition& table,
                             const RealIndex& index);
// Through an allocator of its own (one-off changes, tests).
IndexPageSource IndexPagesOf(Database& db, const TableDefinition& table, const RealIndex& index);

}  // namespace act::db::jet
