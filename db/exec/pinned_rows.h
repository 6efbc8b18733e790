// Statements that look rows up by a text column without an index (a
// settings table read one element at a time) would each read the whole
// table. For a table small enough, the database keeps where its rows lie
// by that column's value (jet::Database::KeptRows), and a scan visits only
// the rows that can meet the condition, in storage order, as a full scan
// would have met them.
#pragma once

#include "db/exec/condition.h"
#include "db/jet/table/database.h"
#include "db/jet/table/table_scan.h"

namespace act::db::exec {

// Narrows `scan` (of `table`, not yet moved) to the rows whose value can
// make `where` true, when `where` pins a text column to one value; leaves
// it whole otherwise, or when the table has too many rows to keep.
void NarrowToPinnedRows(jet::Database& db, const jet::TableDefinition& table,
                        const Condition& where, jet::TableScan& scan);

}  // namespace act::db::exec
