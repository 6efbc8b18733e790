// The page half of the consistency check (CheckDatabase runs it): each page
// inside the file is either in use (header, global map, TDEFs, pages holding
// map rows or bitmaps, pages listed by a table's, index's or long-value
// column's map) or marked free in the global map, never both; owned pages
// are data pages of their table; free-space maps list owned pages only;
// every data page's free-space field matches its rows.
#pragma once

#include <vector>

#include "db/jet/consistency_check.h"
#include "db/jet/database.h"

namespace act::db::jet {

void CheckPagesAndMaps(Database& db, std::vector<ConsistencyFinding>& out);

}  // namespace act::db::jet
