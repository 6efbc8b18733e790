// The page half of the consistency check (CheckDatabase runs it): each page
// inside the file is either in use (header, global map, TDEFs, pages holding
// map rows or bitmaps, pages listed by a table's, index's or long-value
// column's map) or marked free in the global map, never both; owned pages
// are data pages of their table; free-space maps list owned pages only;
// every data page's free-space field matches its rows.
//
// A page that is neither in use nor free is what Access leaves after
// deletes until the database is compacted: space, not damage, since the
// writer only hands out pages the global map marks free. Unless live data
// still lies on it (a row's moved body, a long value): then the maps have
// lost track of live data, and that is damage.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "db/jet/check/consistency_check.h"
#include "db/jet/table/database.h"

namespace act::db::jet {

// Pages that live rows reach beyond their own page, each with what lies
// there ("a long value of row 12:3 of 'Orders'").
using PagesInUse = std::map<uint32_t, std::string>;

void CheckPagesAndMaps(Database& db, const PagesInUse& pointed_into, ConsistencyReport& report);

}  // namespace act::db::jet
