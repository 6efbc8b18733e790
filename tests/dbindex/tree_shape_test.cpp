// Tree shape against Access's bulk builds: the samples' multi-page indexes
// were built by Access over existing rows (left leaves packed and prefix
// compressed, the last leaf partly filled). Our bulk build (CREATE INDEX)
// over the same entries must give the same tree: the same entries on each
// leaf, the same prefix lengths, byte-identical leaf contents, the same
// node fan-out. Inserting the entries one by one in key order gives the
// same entries but not Access's packing (see KeyOrderInserts...).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_page.h"
#include "db/jet/index/index_page_source.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/dbindex/index_test_util.h"

namespace act::db::testing {
namespace {

struct Level {
  std::vector<std::vector<uint8_t>> used;  // each page up to the end of its entries
  std::vector<size_t> counts;
  std::vector<uint32_t> prefixes;
};

// Pages of each level, left to right, without their page-number fields.
std::vector<Level> Shape(jet::Database& db, const jet::TableDefinition& table, uint32_t root) {
  std::vector<Level> levels;
  std::vector<uint32_t> current = {root};
  while (!current.empty()) {
    Level level;
    std::vector<uint32_t> next;
    for (uint32_t number : current) {
      auto page = jet::ReadIndexPage(db.pager(), db.format(), number, table.page);
      auto bytes = db.pager().Get(number)->bytes();
      size_t used = 2048 - (bytes[2] | (bytes[3] << 8));
      if (page.leaf) level.used.emplace_back(bytes.begin() + 22, bytes.begin() + used);
      level.counts.push_back(page.entries.size());
      level.prefixes.push_back(page.prefix_length);
      if (!page.leaf) for (const auto& e : page.entries) next.push_back(e.child);
      if (!page.leaf && page.tail) next.push_back(page.tail);
    }
    levels.push_back(std::move(level));
    current = std::move(next);
  }
  return levels;
}

struct Case {
  const char* sample;
  const char* table;
  int index;
};

class TreeShape : public ::testing::TestWithParam<Case> {};

TEST_P(TreeShape, BulkBuildGivesAccessTree) {
  const Case& c = GetParam();
  MemoryDatabase m = OpenSampleCopy(c.sample);
  jet::Database& db = *m.db;
  auto table = db.Table(c.table);
  const auto& index = table->real_indexes[c.index];
  auto access = Shape(db, *table, index.root);
  ASSERT_GE(access.size(), 2u) << "not a multi-page index";
  auto entries = IndexEntries(db, *table, index);
  jet::IndexPageSource pages = jet::IndexPagesOf(db, *table, index);
  uint32_t root = jet::BuildIndexTree(db.pager(), db.format(), table->page, entries, pages);
  auto ours = Shape(db, *table, root);
  ASSERT_EQ(ours.size(), access.size());
  for (size_t l = 0; l < ours.size(); ++l) {
    SCOPED_TRACE("level " + std::to_string(l));
    EXPECT_EQ(ours[l].counts, access[l].counts);
    EXPECT_EQ(ours[l].prefixes, access[l].prefixes);
  }
  EXPECT_TRUE(ours.back().used == access.back().used) << "leaf bytes differ";
}

// One by one in key order: every entry lands, the tree is as deep as
// Access's, but a leaf that fills up is closed uncompressed and is not
// topped up once it gains a prefix, so leaves hold fewer entries than
// Access's bulk build packs.
TEST_P(TreeShape, KeyOrderInsertsGiveTheSameEntriesLessPacked) {
  const Case& c = GetParam();
  MemoryDatabase m = OpenSampleCopy(c.sample);
  jet::Database& db = *m.db;
  auto table = db.Table(c.table);
  const auto& index = table->real_indexes[c.index];
  auto access = Shape(db, *table, index.root);
  ASSERT_GE(access.size(), 2u) << "not a multi-page index";
  auto entries = IndexEntries(db, *table, index);

  jet::IndexTree tree(db.pager(), db.format(), table->page, index.root,
                      jet::IndexPagesOf(db, *table, index));
  for (const auto& e : entries) ASSERT_TRUE(tree.Remove(e));
  for (const auto& e : entries) tree.Insert(e);
  tree.WriteChanges();
  auto ours = Shape(db, *table, tree.root());

  ASSERT_EQ(ours.size(), access.size());
  size_t ours_total = 0, access_total = 0;
  for (size_t n : ours.back().counts) ours_total += n;
  for (size_t n : access.back().counts) access_total += n;
  EXPECT_EQ(ours_total, access_total);
  EXPECT_GE(ours.back().counts.size(), access.back().counts.size());
}

// Entries put back in sorted batches, as the waiting entries of an index
// that refuses nothing go in, give what putting them back one by one gives:
// the same entries in the same order, the same count of keys that were
// new, and pages the checker accepts; so do extra entries that repeat keys
// already there (the same genre for many songs).
TEST_P(TreeShape, SortedBatchesGiveWhatOneByOneGives) {
  const Case& c = GetParam();
  struct Outcome {
    size_t new_keys = 0;
    std::vector<jet::IndexEntry> entries;
    std::string faults;
  };
  auto put_back = [&](size_t batch) {
    MemoryDatabase m = OpenSampleCopy(c.sample);
    jet::Database& db = *m.db;
    auto table = db.Table(c.table);
    const auto& index = table->real_indexes[c.index];
    const auto entries = IndexEntries(db, *table, index);
    std::mt19937 random(uint32_t(entries.size()));
    std::vector<jet::IndexEntry> taken, repeats;
    for (const auto& e : entries) {
      if (random() % 3 != 0) taken.push_back(e);
      if (random() % 4 == 0) {
        jet::IndexEntry twin = e;
        twin.row.page += 0x10000;  // a row of its own, after every real one
        repeats.push_back(twin);
      }
    }
    jet::IndexTree tree(db.pager(), db.format(), table->page, index.root,
                        jet::IndexPagesOf(db, *table, index));
    for (const auto& e : taken) EXPECT_TRUE(tree.Remove(e));
    Outcome out;
    auto put = [&](std::vector<jet::IndexEntry> all) {
      std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return jet::CompareEntries(a, b) < 0;
      });
      for (size_t i = 0; i < all.size(); i += batch) {
        if (batch == 1) {
          out.new_keys += tree.Insert(all[i]);
          continue;
        }
        std::vector<jet::IndexEntry> part(all.begin() + i,
                                          all.begin() + std::min(all.size(), i + batch));
        out.new_keys += tree.InsertSorted(part);
      }
    };
    put(taken);
    tree.WriteChanges();
    jet::WriteIndexRoot(db, *table, index, tree.root());
    out.faults = FaultText(db);  // before the twins, which point at no row
    put(repeats);
    tree.WriteChanges();
    jet::WriteIndexRoot(db, *table, index, tree.root());
    out.entries = IndexEntries(db, *db.Table(c.table), index);
    return out;
  };
  const Outcome one_by_one = put_back(1);
  ASSERT_EQ(one_by_one.faults, "");
  for (size_t batch : {size_t(2), size_t(7), size_t(100), size_t(1) << 30}) {
    SCOPED_TRACE("batches of " + std::to_string(batch));
    const Outcome sorted = put_back(batch);
    EXPECT_EQ(sorted.faults, "");
    EXPECT_EQ(sorted.new_keys, one_by_one.new_keys);
    ASSERT_EQ(sorted.entries.size(), one_by_one.entries.size());
    for (size_t i = 0; i < sorted.entries.size(); ++i) {
      ASSERT_EQ(jet::CompareEntries(sorted.entries[i], one_by_one.entries[i]), 0) << "entry " << i;
    }
  }
}

// Runs of entries put back each after a lookup of its key, as a unique
// index takes a statement's rows: the entries of a run wait together in
// their gap of the leaf and go in at once. The pages must be the ones that
// putting each entry in on its own gives, byte for byte, and every lookup
// must answer what it answers without the waiting (the keys already put
// back included).
TEST_P(TreeShape, LookedUpRunsGiveThePagesThatInsertsAloneGive) {
  const Case& c = GetParam();
  struct Outcome {
    size_t new_keys = 0;
    size_t looked_again = 0;    // lookups of keys already put back
    size_t found_again = 0;     // ... that found their row
    std::vector<Level> shape;
    std::string faults;
  };
  auto put_back = [&](bool look_up_first, bool interleaved) {
    MemoryDatabase m = OpenSampleCopy(c.sample);
    jet::Database& db = *m.db;
    auto table = db.Table(c.table);
    const auto& index = table->real_indexes[c.index];
    const auto entries = IndexEntries(db, *table, index);
    // Runs of five neighbouring entries out of every fifteen; after every
    // fifth entry put back, the key put back two before it is looked up
    // again.
    std::vector<jet::IndexEntry> taken;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (i / 5 % 3 == 1) taken.push_back(entries[i]);
    }
    jet::IndexTree tree(db.pager(), db.format(), table->page, index.root,
                        jet::IndexPagesOf(db, *table, index));
    for (const auto& e : taken) EXPECT_TRUE(tree.Remove(e));
    tree.WriteChanges();
    if (interleaved) {
      // The runs taken a step at a time each, in turn, as rows whose keys
      // make several runs at once (titles that start with different words).
      std::vector<jet::IndexEntry> turns;
      for (size_t step = 0; step < 5; ++step) {
        for (size_t run = 0; run * 5 + step < taken.size(); ++run) {
          turns.push_back(taken[run * 5 + step]);
        }
      }
      taken = std::move(turns);
    }
    Outcome out;
    for (size_t i = 0; i < taken.size(); ++i) {
      if (look_up_first) tree.Find(taken[i].key);  // as a unique index does before each insert
      out.new_keys += tree.Insert(taken[i]);
      if (look_up_first && i % 5 == 4) {
        const auto rows = tree.Find(taken[i - 2].key);
        ++out.looked_again;
        out.found_again += std::count(rows.begin(), rows.end(), taken[i - 2].row) == 1;
      }
    }
    tree.WriteChanges();
    jet::WriteIndexRoot(db, *table, index, tree.root());
    out.shape = Shape(db, *db.Table(c.table), tree.root());
    out.faults = FaultText(db);
    return out;
  };
  for (bool interleaved : {false, true}) {
    SCOPED_TRACE(interleaved ? "runs in turn" : "runs one after another");
    const Outcome alone = put_back(false, interleaved);
    const Outcome looked_up = put_back(true, interleaved);
    EXPECT_EQ(alone.faults, "");
    EXPECT_EQ(looked_up.faults, "");
    EXPECT_EQ(looked_up.new_keys, alone.new_keys);
    ASSERT_EQ(looked_up.shape.size(), alone.shape.size());
    for (size_t level = 0; level < alone.shape.size(); ++level) {
      SCOPED_TRACE("level " + std::to_string(level));
      EXPECT_EQ(looked_up.shape[level].counts, alone.shape[level].counts);
      EXPECT_EQ(looked_up.shape[level].prefixes, alone.shape[level].prefixes);
      EXPECT_TRUE(looked_up.shape[level].used == alone.shape[level].used);
    }
    // Every key put back is found again, with its row, waiting or not.
    EXPECT_GT(looked_up.looked_again, 0u);
    EXPECT_EQ(looked_up.found_again, looked_up.looked_again);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, TreeShape,
    ::testing::Values(Case{"jet3/compIndexTestV1997.mdb", "Table1", 0},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table1", 0},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table1", 1},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table1_desc", 0},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table1_desc", 1},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table14", 0},
                      Case{"jet3/testIndexCodesV1997.mdb", "Table14", 1}),
    [](const auto& info) {
      std::string sample = info.param.sample;
      return sample.substr(5, sample.find('V') - 5) + "_" + info.param.table + "_" +
             std::to_string(info.param.index);
    });

}  // namespace
}  // namespace act::db::testing
