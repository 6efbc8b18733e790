// Keeping a table's indexes exact while rows are written.
//
// The row writer calls these around every change of a row, in this order:
//   append:  CheckIndexConstraints, write the row, InsertIndexEntries
//   delete:  RemoveIndexEntries, delete the row
//   update:  CheckIndexConstraints (new values, the row's own entries
//            excluded by passing its position), RemoveIndexEntries (old values),
//            rewrite the row, InsertIndexEntries (new values)
// `row` holds one value per column, indexed like table.columns (which is
// sorted by column number, but column numbers may have gaps where columns
// were deleted), exactly as TableScan::Get and EncodeIndexKey index them.
// Required (non-null) columns are the row writer's to check (3314); the
// "required" flag of an index is checked here (3058).
//
// The table definition passed in may be older than the file: these functions
// read each index's root page and counters from the TDEF itself, so a writer
// may keep one TableDefinition for a whole statement.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/table/database.h"
#include "db/jet/table/table_definition.h"
#include "db/jet/index/table_indexes.h"
#include "db/value.h"

namespace act::db::jet {

// Before a row is written: throws act::Error 3022 naming the index when a
// unique or primary index already holds the row's key, 3058 when a required
// index gets a Null, 3201 when an enforced relationship finds no related
// record in the referenced table, 3200 when a row to be removed still has
// related records (see CheckDeleteConstraints). `self` is the row's own
// position when an existing row is being updated, so that its own entries
// do not count as duplicates.
void CheckIndexConstraints(Database& db, const TableDefinition& table,
                           const std::vector<Value>& row,
                           std::optional<RowPointer> self = std::nullopt);
// The same for a writer that holds the table's indexes with changes not
// yet written: its own keys are looked up there. `keys` are own.Keys(row).
void CheckIndexConstraints(Database& db, TableIndexes& own, const std::vector<Value>& row,
                           const TableIndexes::RowKeys& keys,
                           std::optional<RowPointer> self = std::nullopt);

// The uniqueness checks alone, for a row whose other checks were made from
// its values beforehand: each real index whose bit is set in `lookup` must
// not hold keys[i] yet (3022 as above).
void CheckUniqueKeys(Database& db, TableIndexes& own, const TableIndexes::RowKeys& keys,
                     uint64_t lookup);

// Rows of a referencing table that hold a key: `find(table, i, key)` looks
// `key` up in table.real_indexes[i] (a writer's own trees, which may hold
// changes the file does not have yet).
struct Dependents {
  std::shared_ptr<const TableDefinition> table;
  std::vector<RowPointer> rows;
};
using RowFinder = std::function<std::vector<RowPointer>(const TableDefinition& table,
                                                        size_t real_index, const KeyBytes& key)>;

// Before a row is removed: 3200 when an enforced relationship that does
// not cascade deletes still has rows referring to it; otherwise the rows
// that refer to it through relationships that cascade, which go with it.
// Without `find`, keys are looked up in the trees the file holds.
std::vector<Dependents> CheckDeleteConstraints(Database& db, const TableDefinition& table,
                                              const std::vector<Value>& row,
                                              const RowFinder& find = nullptr);

// The two below change the file at once; a writer of many rows keeps a
// TableIndexes instead.
//
// After a row is written at `where`: adds its entry to every real index,
// splitting pages as needed, and keeps the TDEF's root pages and per-index
// counters current.
void InsertIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where);

// Before a row at `where` is removed or moved: takes its entries out of every
// real index (pages left empty are unlinked and freed).
void RemoveIndexEntries(Database& db, const TableDefinition& table, const std::vector<Value>& row,
                        RowPointer where);

}  // namespace act::db::jet
