// Our rows rendered the way `mdb-export` (mdbtools 1.0) prints them by
// default, so that its output can be compared byte for byte.
#pragma once

#include <string>

#include "db/jet/table/database.h"
#include "db/value.h"

namespace act::db::testing {

// The whole table as `mdb-export <file> <table>` prints it.
std::string RenderLikeMdbExport(jet::Database& db, const std::string& table);

// One value: text quoted with doubled quotes, dates as "mm/dd/yy hh:mm:ss",
// currency with four decimals, Single with 8 and Double with 16 significant
// digits, booleans 0/1, Null as nothing.
std::string MdbExportField(const Value& value);

}  // namespace act::db::testing
