// The database checker: everything the writer promises to keep exact,
// checked against the pages themselves. Two halves share one entry point:
// the pages and maps (this branch: global map, usage maps, data pages, row
// counts) and the indexes (index maintenance: every index lists exactly
// its table's rows, in key order).
#pragma once

#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/index_page.h"

namespace act::db::jet {

struct ConsistencyReport {
  std::vector<std::string> problems;  // empty = consistent
  // Parts the checker could not judge (Jet 4 text keys, which the engine
  // cannot encode): said, so that "no problems" is not read as "checked".
  std::vector<std::string> not_checked;
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

// The index half: for every real index of every table, every page is an
// index page of this table reached once from the root; node entries copy
// their child's last entry; the pages of each level are linked in order;
// entries strictly ascend by key, then row position; every row is listed
// exactly once, under the key its values encode to byte for byte (an
// "ignore nulls" index leaves out rows whose key columns are all Null);
// the index's usage map lists exactly the pages reached from its root.
void CheckIndexes(Database& db, ConsistencyReport& report);

// One real index against the leaf entries it should hold (any order): the
// same walk, with the expected entries given instead of taken from the
// table's rows. The root is read from the TDEF.
void CheckIndex(Database& db, const TableDefinition& table, const RealIndex& index,
                std::vector<IndexEntry> expected, ConsistencyReport& report);

}  // namespace act::db::jet
