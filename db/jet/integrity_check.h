// An integrity check in the manner of SQLite's: walks the whole database and
// lists what breaks the rules that Access-written files keep. The writer's
// tests run it on every file they produce; the readers' tests run it on the
// samples, which pass it.
//
// Checked: TDEF row counts against the rows found; free-space fields of data
// and index pages; node entries equal to the last entry of their child; each
// index listing every indexed row once, in key order, with the key our
// encoder builds (where it can build one) and no entry for a missing row.
#pragma once

#include <string>
#include <vector>

#include "db/jet/database.h"

namespace act::db::jet {

// The problems found, one sentence each ("table 'T': ..."); empty when the
// database is consistent. Damage that stops the walk is thrown as usual.
std::vector<std::string> CheckIntegrity(Database& db);

}  // namespace act::db::jet
