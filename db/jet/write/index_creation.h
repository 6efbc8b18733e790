// CREATE [UNIQUE] INDEX: a new index over a table's existing rows. The rows
// are checked first (Null in a primary or "disallow null" index: 3058; a
// repeated key in a unique one: 3022) so that a refused index leaves the
// file as it was; then the tree is bulk-built the way Access builds it, the
// index gets its usage map row, and the TDEF gets the descriptors, the
// name and the counters. An index on the same columns with the same flags
// as an existing real index shares it, as Access does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"

namespace act::db::jet {

struct IndexRequest {
  struct Column {
    std::string name;
    bool descending = false;
  };
  std::string name;
  std::vector<Column> columns;
  bool unique = false;
  bool primary = false;        // WITH PRIMARY: unique and required
  bool disallow_null = false;  // WITH DISALLOW NULL
  bool ignore_null = false;    // WITH IGNORE NULL
};

// Writes through the pager; the caller brackets it with deferred writes and
// reloads the database's definitions afterwards (done here too).
void CreateIndex(Database& db, PageAllocator& allocator, std::string_view table,
                 const IndexRequest& index);

}  // namespace act::db::jet
