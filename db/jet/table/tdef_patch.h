// Small in-place changes to a table definition: the fields a row writer
// updates without rewriting the TDEF (index roots, per-index counters, row
// count). Offsets are counted like definition_length: the whole first page,
// then each continuation page after its 8-byte header.
#pragma once

#include <cstdint>
#include <span>

#include "db/jet/table/database.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

uint32_t ReadDefinitionU32(Database& db, const TableDefinition& table, size_t offset);
void WriteDefinitionU32(Database& db, const TableDefinition& table, size_t offset, uint32_t value);

// The current root page and counters of a real index, read from the file
// (a cached TableDefinition may be older than the last split).
struct IndexState {
  uint32_t root = 0;
  uint32_t counter_a = 0, counter_b = 0;
};
IndexState ReadIndexState(Database& db, const TableDefinition& table, const RealIndex& index);
void WriteIndexRoot(Database& db, const TableDefinition& table, const RealIndex& index,
                    uint32_t root);
void WriteIndexCounterB(Database& db, const TableDefinition& table, const RealIndex& index,
                        uint32_t counter_b);

}  // namespace act::db::jet
