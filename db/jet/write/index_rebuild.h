// Every real index of a table built anew from its rows: what compaction
// does for each table it writes, and what puts right an index whose
// entries, links or usage map disagree with the rows.
#pragma once

#include <functional>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

// Gives back the pages each real index of `table` holds (those its usage
// map lists), then builds each tree over the rows as Access builds one
// (index_builder.h) in pages from the allocator, and writes the root and
// the counters (A = entries, B = distinct keys) into the TDEF. The rows are
// taken as they are: no key is refused. Writes through the pager; the
// caller brackets it with deferred writes, and may flush them in
// `after_each`, called once each tree is written: one index's entries are
// held at a time.
void RebuildIndexes(Database& db, PageAllocator& allocator, const TableDefinition& table,
                    const std::function<void()>& after_each = {});

}  // namespace act::db::jet
