#include "db/jet/integrity_check.h"

#include <algorithm>
#include <map>

#include "db/errors.h"
#include "db/jet/index_reader.h"
#include "db/jet/table_scan.h"

namespace act::db::jet {

namespace {

struct Checker {
  Database& db;
  std::vector<std::string> problems;

  void Problem(const TableDefinition& t, const std::string& what) {
    problems.push_back("table '" + Name(t) + "': " + what);
  }

  std::string Name(const TableDefinition& t) {
    for (const CatalogEntry& e : db.tables()) {
      if (e.tdef_page == t.page) return e.name;
    }
    return "TDEF " + std::to_string(t.page);
  }

  void CheckDataPages(const TableDefinition& t) {
    const Format& f = db.format();
    for (uint32_t number : ReadUsageMap(db.pager(), f, t.owned_map)) {
      PageRef page = db.pager().Get(number);
      CheckDataPage(*page, t.page);
      unsigned count = SlotCount(*page, f);
      size_t used = 0;
      for (unsigned row = 0; row < count; ++row) used += ReadSlot(*page, f, row).size();
      size_t expected = f.page_size - f.data_slots - 2 * size_t(count) - used;
      if (page->U16(2) != expected) {
        Problem(t, "data page " + std::to_string(number) + " records " +
                       std::to_string(page->U16(2)) + " free bytes, its rows leave " +
                       std::to_string(expected));
      }
    }
  }

  // Rows of the table with their values, in scan order.
  struct Row {
    RowPointer where;
    std::vector<Value> values;
  };

  std::vector<Row> ReadRows(const TableDefinition& t) {
    std::vector<Row> rows;
    TableScan scan(db.pager(), db.format(), t);
    while (scan.Next()) {
      Row row{scan.position(), {}};
      for (size_t i = 0; i < t.columns.size(); ++i) row.values.push_back(scan.Get(i));
      rows.push_back(std::move(row));
    }
    if (rows.size() != t.row_count) {
      Problem(t, "TDEF counts " + std::to_string(t.row_count) + " rows, the table holds " +
                     std::to_string(rows.size()));
    }
    return rows;
  }

  void CheckIndexPages(const TableDefinition& t, const RealIndex& index) {
    const Format& f = db.format();
    for (uint32_t number : ReadUsageMap(db.pager(), f, index.map)) {
      IndexPage page = ReadIndexPage(db.pager(), f, number, t.page);
      PageRef raw = db.pager().Get(number);
      size_t end = f.index_first_entry;
      for (size_t byte = 0; byte < f.index_first_entry - f.index_bitmap; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
          if (raw->U8(f.index_bitmap + byte) & (1u << bit)) end = f.index_first_entry + byte * 8 + bit;
        }
      }
      if (raw->U16(2) != f.page_size - end) {
        Problem(t, "index page " + std::to_string(number) + " records " +
                       std::to_string(raw->U16(2)) + " free bytes, its entries leave " +
                       std::to_string(f.page_size - end));
      }
      if (page.leaf) continue;
      for (const IndexEntry& entry : page.entries) {
        IndexPage child = ReadIndexPage(db.pager(), f, entry.child, t.page);
        if (child.entries.empty() || child.entries.back().key != entry.key ||
            child.entries.back().row != entry.row) {
          Problem(t, "node page " + std::to_string(number) + ": the entry for child " +
                         std::to_string(entry.child) + " is not its last entry");
        }
      }
    }
  }

  void CheckIndexEntries(const TableDefinition& t, const RealIndex& index,
                         const std::vector<Row>& rows) {
    const std::string which = "index " + std::to_string(index.number);
    std::vector<std::pair<KeyBytes, RowPointer>> walked;
    IndexReader(db.pager(), db.format(), t, index).Walk([&](const IndexEntry& e) {
      walked.emplace_back(e.key, e.row);
    });
    for (size_t i = 1; i < walked.size(); ++i) {
      int c = CompareKeys(walked[i - 1].first, walked[i].first);
      if (c > 0 || (c == 0 && !(walked[i - 1].second < walked[i].second))) {
        Problem(t, which + ": entries " + std::to_string(i - 1) + " and " + std::to_string(i) +
                       " are out of order");
      }
    }
    std::map<RowPointer, KeyBytes> expected;
    bool encodable = true;
    for (const Row& row : rows) {
      bool all_null = true;
      for (const IndexColumn& ic : index.columns) {
        for (size_t i = 0; i < t.columns.size(); ++i) {
          if (t.columns[i].number == ic.column_number && !row.values[i].is_null()) all_null = false;
        }
      }
      if ((index.flags & kIndexIgnoreNulls) && all_null) continue;
      KeyBytes key;
      try {
        key = EncodeIndexKey(db.format(), t, index, row.values);
      } catch (const act::Error& e) {
        if (e.number() != kJetOperationNotSupported) throw;
        encodable = false;
      }
      expected[row.where] = std::move(key);
    }
    std::map<RowPointer, int> seen;
    for (const auto& [key, where] : walked) {
      auto found = expected.find(where);
      if (found == expected.end()) {
        Problem(t, which + " lists page " + std::to_string(where.page) + " row " +
                       std::to_string(where.row) + ", which holds no indexed row");
      } else if (encodable && found->second != key) {
        Problem(t, which + ": the key of page " + std::to_string(where.page) + " row " +
                       std::to_string(where.row) + " differs from its values");
      }
      ++seen[where];
    }
    for (const auto& [where, key] : expected) {
      if (seen[where] != 1) {
        Problem(t, which + " lists page " + std::to_string(where.page) + " row " +
                       std::to_string(where.row) + " " + std::to_string(seen[where]) + " times");
      }
    }
  }
};

}  // namespace

std::vector<std::string> CheckIntegrity(Database& db) {
  Checker checker{db, {}};
  for (const CatalogEntry& entry : db.tables()) {
    auto table = db.TableAt(entry.tdef_page);
    checker.CheckDataPages(*table);
    auto rows = checker.ReadRows(*table);
    for (const RealIndex& index : table->real_indexes) {
      checker.CheckIndexPages(*table, index);
      checker.CheckIndexEntries(*table, index, rows);
    }
  }
  return checker.problems;
}

}  // namespace act::db::jet
