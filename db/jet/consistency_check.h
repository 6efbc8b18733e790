// The database checker: everything the writer promises to keep exact,
// checked against the pages themselves. Two halves share one entry point:
// the pages and maps (this branch: global map, usage maps, data pages, row
// counts) and the indexes (index maintenance: every index lists exactly
// its table's rows, in key order).
#pragma once

#include <string>
#include <vector>

#include "db/jet/database.h"

namespace act::db::jet {

struct ConsistencyReport {
  std::vector<std::string> problems;  // empty = consistent
  bool ok() const { return problems.empty(); }
};

// Every check below.
ConsistencyReport CheckDatabase(Database& db);

// Each page inside the file is either in use (header, global map, TDEFs,
// pages holding map rows or bitmaps, pages listed by a table's, index's or
// long-value column's map) or marked free in the global map, never both;
// owned pages are data pages of their table; free-space maps list owned
// pages only; every data page's free-space field matches its rows; the
// TDEF's row count equals the rows a scan finds.
void CheckPagesAndMaps(Database& db, ConsistencyReport& report);

// The index half (index maintenance's).
void CheckIndexes(Database& db, ConsistencyReport& report);

}  // namespace act::db::jet
