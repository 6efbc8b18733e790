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
// index's usage map lists exactly the pages reachable from its root.
#pragma once

#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/index_page.h"

namespace act::db::jet {

struct ConsistencyFinding {
  enum class Kind {
    kFault,       // the file breaks a rule
    kNotChecked,  // part of the check could not run (e.g. Jet 4 text keys)
  };
  Kind kind = Kind::kFault;
  std::string table;
  std::string what;  // names the index and page where it applies
};

std::vector<ConsistencyFinding> CheckDatabase(Database& db);

// One real index against the leaf entries it should hold (any order): the
// same walk, with the expected entries given instead of taken from the
// table's rows. The root is read from the TDEF.
std::vector<ConsistencyFinding> CheckIndex(Database& db, const TableDefinition& table,
                                           const RealIndex& index,
                                           std::vector<IndexEntry> expected);

// Only the faults (kNotChecked findings left out).
std::vector<ConsistencyFinding> Faults(const std::vector<ConsistencyFinding>& findings);

}  // namespace act::db::jet
