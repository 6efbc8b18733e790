// Index maintenance (the jetindex side): called by the row writer around
// every row it writes, moves or removes, so that every real index of the
// table lists exactly its rows.
#pragma once

#include <vector>

#include "db/jet/data_page.h"
#include "db/jet/database.h"
#include "db/jet/table_definition.h"
#include "db/value.h"

namespace act::db::jet {

// Before a row is written: throws act::Error 3022 naming the index when a
// unique/primary index already holds the row's key, 3314/3315-style errors
// are the row writer's (required columns); 3201/3200 for referential
// integrity. `row` holds one Value per column, indexed like table.columns
// (the order EncodeIndexKey takes).
void CheckIndexConstraints(Database& db, const TableDefinition& table, const std::vector<Value>& row);

// After a row is written at `where`: adds its entries to every real index.
void InsertIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where);
// Before a row at `where` is removed or its key changes: removes its entries.
void RemoveIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where);

}  // namespace act::db::jet
