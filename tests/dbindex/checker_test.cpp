// The consistency checker on files Access wrote: every sample passes (Jet 4
// text indexes reported as not checked), and faults planted by hand into a
// copy are found.
#include <gtest/gtest.h>

#include "db/jet/file/data_page.h"
#include "db/jet/index/index_page.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/db/host_file.h"
#include "tests/dbindex/index_test_util.h"

namespace act::db::testing {
namespace {

using jet::ConsistencyFinding;

TEST(ConsistencyCheck, EverySamplePasses) {
  for (const std::string& sample : SampleDatabases()) {
    SCOPED_TRACE(sample);
    MemoryDatabase m = OpenSampleCopy(sample);
    auto report = jet::CheckDatabase(*m.db);
    EXPECT_EQ(FaultText(*m.db), "");
    size_t not_checked = 0;
    for (const auto& f : report.findings) {
      not_checked += f.kind == ConsistencyFinding::Kind::kNotChecked;
    }
    // Only Jet 4 text keys are beyond the engine's encoder.
    if (sample.starts_with("jet3/")) {
      EXPECT_EQ(not_checked, 0u);
    }
  }
}

TEST(ConsistencyCheck, Jet4TextIndexesAreReportedAsNotChecked) {
  MemoryDatabase m = OpenSampleCopy("jet4/indexTestV2000.mdb");
  size_t not_checked = 0;
  for (const auto& f : jet::CheckDatabase(*m.db).findings) {
    if (f.kind == ConsistencyFinding::Kind::kNotChecked) {
      ++not_checked;
      EXPECT_NE(f.what.find("keys not compared"), std::string::npos) << f.what;
    }
  }
  EXPECT_GT(not_checked, 0u);
}

// Page and offset of the first leaf entry of a user index with at least two
// entries in testIndexCodesV1997.
struct Plant {
  std::string table;
  uint32_t page;
};

Plant FirstUserLeaf(jet::Database& db) {
  for (const auto& entry : db.tables()) {
    if (entry.is_system()) continue;
    auto table = db.Table(entry.name);
    for (const auto& index : table->real_indexes) {
      auto page = jet::ReadIndexPage(db.pager(), db.format(), index.root, table->page);
      if (page.leaf && page.entries.size() >= 2) return {entry.name, index.root};
    }
  }
  ADD_FAILURE() << "no user leaf";
  return {};
}

TEST(ConsistencyCheck, FindsAKeyByteChangedByHand) {
  MemoryDatabase m = OpenSampleCopy("jet3/testIndexCodesV1997.mdb");
  Plant plant = FirstUserLeaf(*m.db);
  std::vector<uint8_t> bytes = m.bytes();
  // Second byte of the first entry: the first key byte after the flag.
  bytes[size_t(plant.page) * 2048 + 248 + 1] ^= 0x01;
  MemoryDatabase changed = OpenBytes(bytes, "planted.mdb");
  std::string faults = FaultText(*changed.db);
  EXPECT_NE(faults.find(plant.table + ": index"), std::string::npos) << faults;
  EXPECT_NE(faults.find("not listed under its key"), std::string::npos) << faults;
}

TEST(ConsistencyCheck, FindsARowPointerChangedByHand) {
  MemoryDatabase m = OpenSampleCopy("jet3/testIndexCodesV1997.mdb");
  Plant plant = FirstUserLeaf(*m.db);
  auto page = jet::ReadIndexPage(m.db->pager(), m.db->format(), plant.page,
                                 m.db->Table(plant.table)->page);
  std::vector<uint8_t> bytes = m.bytes();
  // The row byte ends the first entry (no prefix on a root leaf).
  size_t end = 248 + page.entries[0].key.size() + 4;
  bytes[size_t(plant.page) * 2048 + end - 1] ^= 0x40;
  MemoryDatabase changed = OpenBytes(bytes, "planted.mdb");
  std::string faults = FaultText(*changed.db);
  EXPECT_NE(faults.find("matches no row"), std::string::npos) << faults;
}

TEST(ConsistencyCheck, FindsAWrongRowCountAndAStrayMapBit) {
  MemoryDatabase m = OpenSampleCopy("jet3/compIndexTestV1997.mdb");
  auto table = m.db->Table("Table1");
  jet::WriteDefinitionU32(*m.db, *table, 12, table->row_count + 1);
  // Claim a page for the first index that its tree does not reach.
  const auto& map = table->real_indexes[0].map;
  std::vector<uint8_t> page = m.db->pager().Get(map.page)->bytes();
  jet::Slot slot = jet::ReadSlot(*m.db->pager().Get(map.page), m.db->format(), map.row);
  page[slot.start + 5] |= 0x04;  // page 2, a TDEF
  m.db->pager().Write(map.page, page);
  std::string faults = FaultText(*m.db);
  EXPECT_NE(faults.find("TDEF counts 513 rows, the scan found 512"), std::string::npos) << faults;
  EXPECT_NE(faults.find("page 2: in the index's usage map but not in the tree"),
            std::string::npos)
      << faults;
}

TEST(ConsistencyCheck, FindsANodeEntryThatDoesNotCopyItsChild) {
  MemoryDatabase m = OpenSampleCopy("jet3/compIndexTestV1997.mdb");
  // Page 36 is the root node of Table1's descending Long index (two levels).
  std::vector<uint8_t> page = m.db->pager().Get(36)->bytes();
  ASSERT_EQ(page[0], 0x03);
  page[248 + 2] ^= 0x01;  // a key byte of the first node entry
  m.db->pager().Write(36, page);
  std::string faults = FaultText(*m.db);
  EXPECT_NE(faults.find("not a copy of the child's last entry"), std::string::npos) << faults;
}

// A page that belongs to nothing is space until compaction, unless live
// data lies on it: a memo whose LVAL page has left its column's map is
// damage, the more so once the page is marked free for the next write.
TEST(ConsistencyCheck, UnownedPagesAreSpaceUnlessLiveDataLiesOnThem) {
  MemoryDatabase m = OpenSampleCopy("jet3/overflowTestV1997.mdb");
  jet::Database& db = *m.db;
  jet::PageAllocator allocator(db);
  const jet::MapRef global{0, 1};

  // A page added at the end, taken out of the free pages and put in no
  // map: a note, no damage.
  const uint32_t extra = db.pager().page_count();
  db.pager().Write(extra, std::vector<uint8_t>(db.format().page_size, 0));
  allocator.maps().Set(global, extra, false, true);
  auto report = jet::CheckDatabase(db);
  EXPECT_FALSE(report.damaged()) << FaultText(db);
  EXPECT_EQ(report.recoverable_pages, 1u);
  EXPECT_NE(report.Summary().find("no damage; 1 page recoverable by compaction"),
            std::string::npos)
      << report.Summary();

  // The LVAL page of the first memo held in a row, taken out of its maps.
  uint32_t lval = 0;
  for (const auto& entry : db.tables()) {
    auto table = db.Table(entry.name);
    jet::TableScan scan(db.pager(), db.format(), *table);
    while (lval == 0 && scan.Next()) {
      for (size_t i = 0; i < table->columns.size() && lval == 0; ++i) {
        const auto& slice = scan.slices()[i];
        if (!table->columns[i].is_long_value() || !slice.present) continue;
        auto pages = jet::LongValuePages(db.pager(), db.format(), scan.page(), slice.bytes);
        if (pages.empty()) continue;
        lval = pages[0];
        for (const auto& maps : table->long_value_maps) {
          allocator.maps().Set(maps.owned, lval, false);
          if (!maps.free.empty()) allocator.maps().Set(maps.free, lval, false);
        }
      }
    }
    if (lval != 0) break;
  }
  ASSERT_NE(lval, 0u);
  std::string faults = FaultText(db);
  const std::string page = "page " + std::to_string(lval) + " holds a long value of row ";
  EXPECT_NE(faults.find(page), std::string::npos) << faults;
  EXPECT_NE(faults.find("yet no map owns it\n"), std::string::npos) << faults;
  allocator.maps().Set(global, lval, true, true);
  faults = FaultText(db);
  EXPECT_NE(faults.find("and it is marked free: a write may overwrite it"), std::string::npos)
      << faults;
}

}  // namespace
}  // namespace act::db::testing
