// The engine's consistency check: walks every table and every index of a
// database and reports where the file breaks the rules a reader relies on.
// Used after writes (tests, and before a written file is handed over) and
// on any file a report is wanted for; it never changes the file.
//
// Per table: the TDEF row count equals the rows found by a scan. Per real
// index: every page is an index page of this table, reached once; node
// entries copy their child's last entry; leaves are chained in order;
// entries strictly ascend by key then row position; every row is listed
// exactly once under the key its values encode to, byte for byte; the
// index's usage map lists exactly the pages reachable from its root. The
// pages of the whole file: see page_map_check.h.
//
// Findings are damage or notes. Damage is what makes Access or our reader
// return wrong or missing rows, or lets a write overwrite live data. Notes
// are what Access itself leaves behind until the database is compacted:
// pages nobody owns that were never marked free (space, nothing more), and
// a system table's stale row count.
#pragma once

#include <string>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/index/index_page.h"

namespace act::db::jet {

struct ConsistencyFinding {
  enum class Kind {
    kDamage,      // wrong or missing rows, or live data a write may overwrite
    kNote,        // left by Access until compaction; harmless
    kNotChecked,  // part of the check could not run (e.g. Jet 4 text keys)
  };
  Kind kind = Kind::kDamage;
  std::string subject;  // the table's name, or kWholeFile
  std::string what;     // names the index and page where it applies
  std::string text() const { return subject + ": " + what; }
};

// The subject of findings about the pages and maps of the whole file.
inline constexpr const char* kWholeFile = "file";

struct ConsistencyReport {
  std::vector<ConsistencyFinding> findings;
  // What was checked.
  size_t tables = 0, rows = 0, indexes = 0, index_entries = 0, pages = 0;
  // Notes, counted: pages compaction would give back, and system tables
  // whose stored row count it would correct.
  size_t recoverable_pages = 0, stale_row_counts = 0;

  bool damaged() const;
  // "checked 8 tables, 3,202 rows, 41 indexes, 12,480 index entries, 760
  // pages: no damage; 4 pages recoverable by compaction".
  std::string Summary() const;
};

ConsistencyReport CheckDatabase(Database& db);

// One real index against the leaf entries it should hold (any order): the
// same walk, with the expected entries given instead of taken from the
// table's rows. The root is read from the TDEF.
std::vector<ConsistencyFinding> CheckIndex(Database& db, const TableDefinition& table,
                                           const RealIndex& index,
                                           std::vector<IndexEntry> expected);

// Only the damage (notes and kNotChecked findings left out).
std::vector<ConsistencyFinding> Faults(const std::vector<ConsistencyFinding>& findings);
std::vector<ConsistencyFinding> Faults(const ConsistencyReport& report);

}  // namespace act::db::jet
