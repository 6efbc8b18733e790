// Repair of what the consistency check reports as damage while the rows
// themselves read: index entries missing, extra or out of order, wrong
// stored row counts, page maps that disagree with the pages. The file is
// rebuilt from its rows by compaction into a file beside it, which then
// takes the original's place in one step (FileSystem::ReplaceFile): the
// original is changed whole or not at all.
#pragma once

#include <string>

#include "db/jet/check/consistency_check.h"
#include "platform/file_system.h"

namespace act::db::jet {

struct RepairResult {
  bool rewritten = false;    // false: the check found no damage, nothing was written
  ConsistencyReport report;  // the check of the file as it now is
};

// Repairs `path`, marked in use meanwhile (3045, changing nothing, while
// another program has it open). When rows cannot be read, changes nothing and fails with
// 3049 naming each table and how many of its rows, and pointing to the
// compaction, which rescues every readable row into a new file.
RepairResult RepairDatabase(FileSystem& fs, const std::string& path);

}  // namespace act::db::jet
