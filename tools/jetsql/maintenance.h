// jetsql's commands that look after a whole database: the check, the
// compaction and the repair.
#pragma once

#include <iosfwd>

#include "db/jet/check/consistency_check.h"
#include "platform/file_system.h"
#include "tools/jetsql/command_line.h"

namespace act::jetsql {

// Prints each finding, then what was checked; true when nothing is damage.
bool PrintCheck(const db::jet::ConsistencyReport& report, std::ostream& out);

// --compact SOURCE TARGET: false when rows were left behind (listed).
bool Compact(const Options& options, FileSystem& fs, std::ostream& out);

// --repair FILE: false when damage is left after it (the check's report
// says which).
bool Repair(const Options& options, FileSystem& fs, std::ostream& out);

}  // namespace act::jetsql
