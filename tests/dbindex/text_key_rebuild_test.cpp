// Index entries we write are the ones Access wrote: every index of every
// table of testIndexCodesV1997 (29 tables of accented, symbol and mixed-case
// text keys, ascending and descending, plus the numeric ones) is emptied
// entry by entry through RemoveIndexEntries and filled again through
// InsertIndexEntries from the table's rows. Afterwards each index lists
// byte-identical entries, and an index that fits one page is the very page
// Access wrote, header, bitmap and free space included (up to the end of the
// entries: Access leaves stale bytes behind them, we write zeros).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "db/jet/index/index_maintenance.h"
#include "db/jet/index/index_page.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/dbindex/index_test_util.h"

namespace act::db::testing {
namespace {

std::string Hex(const std::vector<jet::IndexEntry>& entries) {
  std::string out;
  char buf[4];
  for (const auto& e : entries) {
    for (uint8_t b : e.key) {
      std::snprintf(buf, sizeof buf, "%02X", b);
      out += buf;
    }
    out += " @" + std::to_string(e.row.page) + ":" + std::to_string(e.row.row) + "\n";
  }
  return out;
}

class TextKeyRebuild : public ::testing::TestWithParam<std::string> {};

TEST_P(TextKeyRebuild, RemovedAndReinsertedEntriesMatchAccess) {
  MemoryDatabase m = OpenSampleCopy(GetParam());
  jet::Database& db = *m.db;
  std::mt19937 random(1997);
  size_t tables = 0, indexes = 0, entries_checked = 0, pages_identical = 0;
  for (const auto& entry : db.tables()) {
    SCOPED_TRACE(entry.name);
    auto table = db.Table(entry.name);
    if (table->real_indexes.empty()) continue;
    ++tables;
    std::vector<TableRow> rows = ReadRows(db, *table);
    std::vector<std::vector<jet::IndexEntry>> before;
    std::vector<std::vector<uint8_t>> single_pages;
    for (const auto& index : table->real_indexes) {
      before.push_back(IndexEntries(db, *table, index));
      auto root = jet::ReadIndexPage(db.pager(), db.format(), index.root, table->page);
      single_pages.push_back(root.leaf ? db.pager().Get(index.root)->bytes()
                                       : std::vector<uint8_t>{});
    }
    std::vector<TableRow> shuffled = rows;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (const TableRow& row : shuffled) {
      jet::RemoveIndexEntries(db, *table, row.values, row.position);
    }
    for (const auto& index : table->real_indexes) {
      EXPECT_TRUE(IndexEntries(db, *table, index).empty());
    }
    for (const TableRow& row : rows) {
      jet::InsertIndexEntries(db, *table, row.values, row.position);
    }
    for (size_t i = 0; i < table->real_indexes.size(); ++i) {
      const auto& index = table->real_indexes[i];
      SCOPED_TRACE("index " + std::to_string(i));
      ++indexes;
      auto after = IndexEntries(db, *table, index);
      EXPECT_EQ(Hex(after), Hex(before[i]));
      entries_checked += after.size();
      uint32_t root = jet::ReadIndexState(db, *table, index).root;
      if (!single_pages[i].empty()) {
        EXPECT_EQ(root, index.root);
        // Access leaves old bytes past the last entry; we write zeros there.
        std::vector<uint8_t> ours = db.pager().Get(root)->bytes();
        size_t used = 2048 - (single_pages[i][2] | (single_pages[i][3] << 8));
        ours.resize(used);
        single_pages[i].resize(used);
        if (ours == single_pages[i]) ++pages_identical;
        else ADD_FAILURE() << "root leaf page " << root << " differs from Access's";
      }
    }
  }
  EXPECT_EQ(FaultText(db), "");
  RecordProperty("entries", int(entries_checked));
  std::printf("%s: %zu tables, %zu indexes, %zu entries, %zu single pages identical\n",
              GetParam().c_str(), tables, indexes, entries_checked, pages_identical);
  EXPECT_GT(entries_checked, 0u);
}

INSTANTIATE_TEST_SUITE_P(Jet3Samples, TextKeyRebuild,
                         ::testing::Values("jet3/testIndexCodesV1997.mdb",
                                           "jet3/indexTestV1997.mdb",
                                           "jet3/compIndexTestV1997.mdb", "jet3/testV1997.mdb"));

}  // namespace
}  // namespace act::db::testing
