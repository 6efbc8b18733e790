#include "tests/dbindex/index_test_util.h"

#include "db/jet/index/index_reader.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/db/host_file.h"

namespace act::db::testing {

MemoryDatabase OpenBytes(std::vector<uint8_t> bytes, const std::string& name) {
  auto file = std::make_unique<jet::MemoryFile>(std::move(bytes), name);
  MemoryDatabase out;
  out.file = file.get();
  out.db = std::make_unique<jet::Database>(std::move(file));
  return out;
}

MemoryDatabase OpenSampleCopy(const std::string& sample) {
  return OpenBytes(ReadHostFile(SamplePath(sample)), sample);
}

std::vector<TableRow> ReadRows(jet::Database& db, const jet::TableDefinition& table) {
  std::vector<TableRow> rows;
  jet::TableScan scan(db.pager(), db.format(), table);
  while (scan.Next()) {
    TableRow row{scan.position(), {}};
    for (size_t i = 0; i < table.columns.size(); ++i) row.values.push_back(scan.Get(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string FaultText(jet::Database& db) {
  std::string text;
  for (const auto& f : jet::Faults(jet::CheckDatabase(db))) {
    text += f.text() + "\n";
  }
  return text;
}

std::vector<jet::IndexEntry> IndexEntries(jet::Database& db, const jet::TableDefinition& table,
                                          const jet::RealIndex& index) {
  jet::RealIndex current = index;
  current.root = jet::ReadIndexState(db, table, index).root;
  std::vector<jet::IndexEntry> entries;
  jet::IndexReader(db.pager(), db.format(), table, current)
      .Walk([&](const jet::IndexEntry& e) { entries.push_back(e); });
  return entries;
}

}  // namespace act::db::testing
