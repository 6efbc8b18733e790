// DROP INDEX: the logical index's descriptor and name leave the table's
// definition; its real index goes too (descriptor, counters, pages, usage
// map) unless another logical index shares it. The logical and real
// indexes after it move down a number, and relationships in other tables
// that name one of this table's indexes by number follow, so the
// definition stays numbered 0..n-1 as Access writes it.
#pragma once

#include <string>

#include "db/jet/table/database.h"

namespace act::db::jet {

// Jet errors: 3377 when the table has no index of that name, 3303 when a
// relationship uses it.
void DropIndex(Database& db, const std::string& table, const std::string& index);

}  // namespace act::db::jet
