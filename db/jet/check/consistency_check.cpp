#include "db/jet/check/consistency_check.h"

#include "db/jet/check/page_map_check.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "db/errors.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"
#include "db/jet/file/usage_map.h"

namespace act::db::jet {

namespace {

constexpr int kMaxDepth = 16;
// A damaged index could produce a finding per entry; a few say enough.
constexpr int kMaxFindingsPerIndex = 8;

std::string RowText(RowPointer row) {
  return std::to_string(row.page) + ":" + std::to_string(row.row);
}

struct ScannedRow {
  RowPointer position;
  std::vector<Value> values;
};

class IndexCheck {
 public:
  IndexCheck(Database& db, const TableDefinition& table, const RealIndex& index,
             const std::string& table_name, std::vector<ConsistencyFinding>& out)
      : db_(db), table_(table), index_(index), table_name_(table_name), out_(out) {}

  // `expected` given: compare with it; otherwise with keys encoded from rows.
  // Returns the number of leaf entries walked.
  size_t Run(const std::vector<ScannedRow>& rows,
             std::optional<std::vector<IndexEntry>> expected = std::nullopt) {
    size_t walked = 0;
    try {
      std::vector<IndexEntry> leaf_entries;
      uint32_t last_leaf = 0;
      std::map<int, uint32_t> last_at_depth;
      Walk(index_.root, 0, leaf_entries, last_leaf, last_at_depth);
      walked = leaf_entries.size();
      for (auto& [depth, page] : last_at_depth) {
        if (page != 0 && ReadIndexPage(db_.pager(), db_.format(), page, table_.page).next != 0) {
          Fault(page, "last page of level " + std::to_string(depth) + " links to a next page");
        }
      }
      CheckOrder(leaf_entries);
      CheckMap();
      if (expected) {
        CompareWith(std::move(*expected), std::move(leaf_entries));
      } else {
        CheckRows(rows, leaf_entries);
      }
    } catch (const act::Error& e) {
      Fault(index_.root, std::string("walk stopped: ") + e.what());
    }
    return walked;
  }

 private:
  void Report(ConsistencyFinding::Kind kind, const std::string& what) {
    if (++reported_ > kMaxFindingsPerIndex) return;
    out_.push_back({kind, table_name_, "index " + std::to_string(index_.number) + ": " + what});
  }
  void Fault(uint32_t page, const std::string& what) {
    Report(ConsistencyFinding::Kind::kDamage, "page " + std::to_string(page) + ": " + what);
  }

  // Returns the last entry of the subtree (for the parent's node entry).
  std::optional<IndexEntry> Walk(uint32_t number, int depth, std::vector<IndexEntry>& leaves,
                                 uint32_t& last_leaf, std::map<int, uint32_t>& last_at_depth) {
    if (depth > kMaxDepth) throw PageFailure(db_.path(), number, "index tree too deep");
    if (!reached_.insert(number).second) {
      throw PageFailure(db_.path(), number, "index page reached twice");
    }
    IndexPage page = ReadIndexPage(db_.pager(), db_.format(), number, table_.page);
    // Pages of one level are chained left to right.
    uint32_t expected_prev = last_at_depth.count(depth) ? last_at_depth[depth] : 0;
    if (page.prev != expected_prev) {
      Fault(number, "links back to page " + std::to_string(page.prev) + ", expected " +
                        std::to_string(expected_prev));
    }
    if (expected_prev != 0) {
      IndexPage prev = ReadIndexPage(db_.pager(), db_.format(), expected_prev, table_.page);
      if (prev.next != number) {
        Fault(expected_prev, "links forward to page " + std::to_string(prev.next) +
                                 ", expected " + std::to_string(number));
      }
    }
    last_at_depth[depth] = number;
    if (page.leaf) {
      if (page.entries.empty() && number != index_.root) Fault(number, "empty leaf in the tree");
      leaves.insert(leaves.end(), page.entries.begin(), page.entries.end());
      if (page.entries.empty()) return std::nullopt;
      return page.entries.back();
    }
    if (page.entries.empty() && page.tail == 0) Fault(number, "node page without children");
    std::optional<IndexEntry> last;
    for (const IndexEntry& entry : page.entries) {
      last = Walk(entry.child, depth + 1, leaves, last_leaf, last_at_depth);
      if (!last || last->key != entry.key || last->row != entry.row) {
        Fault(number, "node entry for child " + std::to_string(entry.child) +
                          " is not a copy of the child's last entry");
      }
    }
    if (page.tail != 0) last = Walk(page.tail, depth + 1, leaves, last_leaf, last_at_depth);
    return last;
  }

  void CheckOrder(const std::vector<IndexEntry>& entries) {
    for (size_t i = 1; i < entries.size(); ++i) {
      if (CompareEntries(entries[i - 1], entries[i]) >= 0) {
        Fault(index_.root, "entries out of order at row " + RowText(entries[i].row));
      }
    }
  }

  void CheckMap() {
    std::vector<uint32_t> mapped = ReadUsageMap(db_.pager(), db_.format(), index_.map);
    std::set<uint32_t> listed(mapped.begin(), mapped.end());
    for (uint32_t page : reached_) {
      if (!listed.count(page)) Fault(page, "in the tree but not in the index's usage map");
    }
    for (uint32_t page : listed) {
      if (!reached_.count(page)) Fault(page, "in the index's usage map but not in the tree");
    }
  }

  void CheckRows(const std::vector<ScannedRow>& rows, std::vector<IndexEntry> entries) {
    std::vector<IndexEntry> expected;
    for (const ScannedRow& row : rows) {
      bool all_null = true;
      for (const IndexColumn& ic : index_.columns) {
        for (size_t i = 0; i < table_.columns.size(); ++i) {
          if (table_.columns[i].number == ic.column_number && !row.values[i].is_null()) {
            all_null = false;
          }
        }
      }
      if (all_null && (index_.flags & kIndexIgnoreNulls)) continue;
      try {
        expected.push_back({EncodeIndexKey(db_.format(), table_, index_, row.values),
                            row.position, 0});
      } catch (const act::Error& e) {
        if (e.number() != kJetOperationNotSupported) throw;
        // Keys we cannot encode: compare row positions only.
        Report(ConsistencyFinding::Kind::kNotChecked,
               std::string("keys not compared (") + e.detail() + "); rows listed once checked");
        CheckPositions(rows, entries);
        return;
      }
    }
    CompareWith(std::move(expected), std::move(entries));
  }

  void CompareWith(std::vector<IndexEntry> expected, std::vector<IndexEntry> entries) {
    auto less = [](const IndexEntry& a, const IndexEntry& b) {
      return CompareEntries(a, b) < 0;
    };
    std::sort(expected.begin(), expected.end(), less);
    std::sort(entries.begin(), entries.end(), less);
    std::vector<IndexEntry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), entries.begin(), entries.end(),
                        std::back_inserter(missing), less);
    std::set_difference(entries.begin(), entries.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra), less);
    for (const IndexEntry& e : missing) {
      Fault(index_.root, "row " + RowText(e.row) + " is not listed under its key");
    }
    for (const IndexEntry& e : extra) {
      Fault(index_.root, "entry for row " + RowText(e.row) + " matches no row with that key");
    }
  }

  void CheckPositions(const std::vector<ScannedRow>& rows, const std::vector<IndexEntry>& entries) {
    std::multiset<RowPointer> listed;
    for (const IndexEntry& e : entries) listed.insert(e.row);
    for (const ScannedRow& row : rows) {
      size_t n = listed.count(row.position);
      if (n != 1 && !(n == 0 && (index_.flags & kIndexIgnoreNulls))) {
        Fault(index_.root, "row " + RowText(row.position) + " listed " + std::to_string(n) +
                               " times");
      }
      listed.erase(row.position);
    }
    for (RowPointer p : listed) Fault(index_.root, "entry for missing row " + RowText(p));
  }

  Database& db_;
  const TableDefinition& table_;
  const RealIndex& index_;
  const std::string& table_name_;
  std::vector<ConsistencyFinding>& out_;
  std::set<uint32_t> reached_;
  int reported_ = 0;
};

// The rows of a table, each with its values; where a row's body or long
// values lie on other pages, those pages are noted in `pointed_into`.
std::vector<ScannedRow> ScanRows(Database& db, const TableDefinition& table,
                                 const std::string& name, PagesInUse& pointed_into) {
  std::vector<ScannedRow> rows;
  TableScan scan(db.pager(), db.format(), table);
  while (scan.Next()) {
    ScannedRow row{scan.position(), {}};
    auto where = [&] { return "row " + RowText(row.position) + " of '" + name + "'"; };
    if (scan.page().number() != row.position.page) {
      pointed_into.emplace(scan.page().number(), "the moved body of " + where());
    }
    for (size_t i = 0; i < table.columns.size(); ++i) {
      row.values.push_back(scan.Get(i));
      const ColumnSlice& slice = scan.slices()[i];
      if (!table.columns[i].is_long_value() || !slice.present) continue;
      for (uint32_t p : LongValuePages(db.pager(), db.format(), scan.page(), slice.bytes)) {
        if (!pointed_into.count(p)) pointed_into.emplace(p, "a long value of " + where());
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

ConsistencyReport CheckDatabase(Database& db) {
  ConsistencyReport report;
  std::vector<ConsistencyFinding>& out = report.findings;
  PagesInUse pointed_into;
  for (const CatalogEntry& entry : db.tables()) {
    ++report.tables;
    try {
      // Read afresh: the cached definition may predate the last write.
      TableDefinition table = ReadTableDefinition(db.pager(), db.format(), entry.tdef_page);
      std::vector<ScannedRow> rows = ScanRows(db, table, entry.name, pointed_into);
      report.rows += rows.size();
      if (rows.size() != table.row_count) {
        // Access shows a table's stored count as its record count, so a
        // wrong one is a wrong answer. Access itself leaves the counts of
        // system tables stale (MSysQueries, MSysACEs) and reads those
        // tables by scan; compaction recounts them.
        const bool system = entry.is_system();
        report.stale_row_counts += system;
        out.push_back({system ? ConsistencyFinding::Kind::kNote : ConsistencyFinding::Kind::kDamage,
                       entry.name,
                       "TDEF counts " + std::to_string(table.row_count) + " rows, the scan found " +
                           std::to_string(rows.size()) +
                           (system ? " (compaction recounts them)" : "")});
      }
      for (const RealIndex& index : table.real_indexes) {
        ++report.indexes;
        report.index_entries += IndexCheck(db, table, index, entry.name, out).Run(rows);
      }
    } catch (const act::Error& e) {
      out.push_back({ConsistencyFinding::Kind::kDamage, entry.name, e.what()});
    }
  }
  try {
    CheckPagesAndMaps(db, pointed_into, report);
  } catch (const act::Error& e) {
    out.push_back({ConsistencyFinding::Kind::kDamage, kWholeFile, e.what()});
  }
  return report;
}

std::vector<ConsistencyFinding> CheckIndex(Database& db, const TableDefinition& table,
                                           const RealIndex& index,
                                           std::vector<IndexEntry> expected) {
  std::vector<ConsistencyFinding> out;
  RealIndex current = index;
  current.root = ReadIndexState(db, table, index).root;
  std::string name = "table at page " + std::to_string(table.page);
  IndexCheck(db, table, current, name, out).Run({}, std::move(expected));
  return out;
}

std::vector<ConsistencyFinding> Faults(const std::vector<ConsistencyFinding>& findings) {
  std::vector<ConsistencyFinding> out;
  for (const ConsistencyFinding& f : findings) {
    if (f.kind == ConsistencyFinding::Kind::kDamage) out.push_back(f);
  }
  return out;
}

std::vector<ConsistencyFinding> Faults(const ConsistencyReport& report) {
  return Faults(report.findings);
}

bool ConsistencyReport::damaged() const { return !Faults(findings).empty(); }

namespace {

// 12480 -> "12,480".
std::string Count(size_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string Counted(size_t n, const std::string& one, const std::string& many) {
  return Count(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string ConsistencyReport::Summary() const {
  std::string text = "checked " + Counted(tables, "table", "tables") + ", " +
                     Counted(rows, "row", "rows") + ", " + Counted(indexes, "index", "indexes") +
                     ", " + Counted(index_entries, "index entry", "index entries") + ", " +
                     Counted(pages, "page", "pages") + ": ";
  size_t damage = Faults(findings).size();
  text += damage == 0 ? "no damage" : "damage, " + Counted(damage, "finding", "findings");
  if (recoverable_pages > 0) {
    text += "; " + Counted(recoverable_pages, "page", "pages") + " recoverable by compaction";
  }
  if (stale_row_counts > 0) {
    text += "; " + Counted(stale_row_counts, "system table", "system tables") +
            " with a stale row count that compaction corrects";
  }
  return text;
}

}  // namespace act::db::jet
