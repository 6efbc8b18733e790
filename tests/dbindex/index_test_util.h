// Helpers for the index-writing tests: writable in-memory copies of the
// samples, the rows of a table, and the fault list of the checker as text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/jet/check/consistency_check.h"
#include "db/jet/index/index_page.h"
#include "db/value.h"
#include "db/jet/table/database.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/table/table_definition.h"

namespace act::db::testing {

// A database over a writable in-memory copy of a sample ("jet3/x.mdb").
struct MemoryDatabase {
  jet::MemoryFile* file = nullptr;  // owned by db
  std::unique_ptr<jet::Database> db;
  std::vector<uint8_t> bytes() const { return file->bytes(); }
};
MemoryDatabase OpenSampleCopy(const std::string& sample);
MemoryDatabase OpenBytes(std::vector<uint8_t> bytes, const std::string& name);

struct TableRow {
  jet::RowPointer position;
  std::vector<Value> values;
};
std::vector<TableRow> ReadRows(jet::Database& db, const jet::TableDefinition& table);

// The checker's faults, one per line ("" when the file is consistent).
std::string FaultText(jet::Database& db);

// The leaf entries of a real index, in tree order, read with the root the
// file holds now.
std::vector<jet::IndexEntry> IndexEntries(jet::Database& db, const jet::TableDefinition& table,
                                          const jet::RealIndex& index);

}  // namespace act::db::testing
