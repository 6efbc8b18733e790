// Generated scenarios: thousands of rows with random, accented Spanish text,
// numbers and duplicate keys go into the indexes of sample tables (text
// primary keys ascending and descending, a text + Long index with the Long
// descending, Long keys) in random key order until the trees are three
// levels deep, then come out again. After every batch each index must pass
// the consistency checker against the rows the test holds, list them in
// key order, and find every sampled row by a lookup from the root.
//
// The rows are given to the index layer only (positions past the end of
// the file): what is tested here is the index writing. Rows written through
// the row writer are covered by the append tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "db/errors.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_maintenance.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/table/tdef_patch.h"
#include "tests/dbindex/index_test_util.h"

namespace act::db::testing {
namespace {

const char* const kPieces[] = {"á", "é", "í", "ó", "ú", "ü", "ñ", "¿", "¡", "Á", "É", "Í",
                               "Ó", "Ú", "Ü", "Ñ", "ca", "ción", "de", "la", "ma", "ña",
                               "pe", "ro", "sa", "ta", "Vi", "ve", "llo", "güe", " ", "-", "'"};

class RowMaker {
 public:
  explicit RowMaker(uint32_t seed) : random_(seed) {}
  std::string Text(size_t min, size_t max) {
    std::string s;
    size_t n = std::uniform_int_distribution<size_t>(min, max)(random_);
    while (s.size() < n) s += kPieces[random_() % std::size(kPieces)];
    return s;
  }
  Value For(const jet::ColumnDef& c) {
    switch (c.type) {
      case jet::kTypeText: return Value::Text(Text(8, std::min<size_t>(c.length, 60)));
      // A narrow range, so that the Long parts of keys repeat.
      case jet::kTypeLong: return Value::Long(int32_t(random_() % 2000) - 1000);
      case jet::kTypeInteger: return Value::Integer(int16_t(random_() % 200));
      default: return Value::Null();
    }
  }
  std::mt19937& random() { return random_; }

 private:
  std::mt19937 random_;
};

int Depth(jet::Database& db, const jet::TableDefinition& table, const jet::RealIndex& index) {
  uint32_t page = jet::ReadIndexState(db, table, index).root;
  int depth = 1;
  for (;;) {
    auto p = jet::ReadIndexPage(db.pager(), db.format(), page, table.page);
    if (p.leaf) return depth;
    page = p.entries.empty() ? p.tail : p.entries.front().child;
    ++depth;
  }
}

struct Scenario {
  const char* sample;
  const char* table;
  int rows;
  int min_depth;  // Long keys (9-byte entries) need far more rows for three levels
};

class GeneratedScenario : public ::testing::TestWithParam<Scenario> {
 protected:
  void Verify(const std::vector<TableRow>& live) {
    for (const auto& index : table_->real_indexes) {
      SCOPED_TRACE("index " + std::to_string(index.number));
      std::vector<jet::IndexEntry> expected;
      for (const TableRow& row : live) {
        expected.push_back({jet::EncodeIndexKey(db().format(), *table_, index, row.values),
                            row.position, 0});
      }
      std::string faults;
      for (const auto& f : jet::CheckIndex(db(), *table_, index, expected)) {
        faults += f.what + "\n";
      }
      ASSERT_EQ(faults, "");
      std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return jet::CompareEntries(a, b) < 0;
      });
      auto walked = IndexEntries(db(), *table_, index);
      ASSERT_EQ(walked.size(), expected.size());
      for (size_t i = 0; i < walked.size(); ++i) {
        ASSERT_EQ(walked[i].key, expected[i].key);
        ASSERT_EQ(walked[i].row, expected[i].row);
      }
      // Lookups from the root, for a sample of rows.
      jet::RealIndex current = index;
      current.root = jet::ReadIndexState(db(), *table_, index).root;
      jet::IndexReader reader(db().pager(), db().format(), *table_, current);
      for (size_t i = 0; i < expected.size(); i += 1 + expected.size() / 60) {
        auto found = reader.Find(expected[i].key);
        ASSERT_NE(std::find(found.begin(), found.end(), expected[i].row), found.end())
            << "row " << expected[i].row.page << ":" << int(expected[i].row.row);
      }
      max_depth_ = std::max(max_depth_, Depth(db(), *table_, index));
    }
  }
  jet::Database& db() { return *m_.db; }

  MemoryDatabase m_;
  std::shared_ptr<const jet::TableDefinition> table_;
  int max_depth_ = 0;
};

TEST_P(GeneratedScenario, RandomInsertsAndRemovesKeepEveryIndexExact) {
  const Scenario& s = GetParam();
  m_ = OpenSampleCopy(s.sample);
  table_ = db().Table(s.table);
  std::vector<TableRow> original = ReadRows(db(), *table_);
  std::vector<TableRow> live = original;
  RowMaker maker(uint32_t(s.rows));
  // Unique indexes as the test's own model sees them.
  std::vector<std::set<jet::KeyBytes>> unique_keys(table_->real_indexes.size());
  auto key_of = [&](const jet::RealIndex& index, const TableRow& row) {
    return jet::EncodeIndexKey(db().format(), *table_, index, row.values);
  };
  for (const auto& index : table_->real_indexes) {
    for (const TableRow& row : live) unique_keys[index.number].insert(key_of(index, row));
  }
  int refused = 0;
  for (int i = 0; i < s.rows; ++i) {
    TableRow row{{uint32_t(4000 + i / 200), uint8_t(i % 200)}, {}};
    for (const auto& c : table_->columns) row.values.push_back(maker.For(c));
    bool duplicate = false;
    for (const auto& index : table_->real_indexes) {
      if ((index.flags & jet::kIndexUnique) && unique_keys[index.number].count(key_of(index, row))) {
        duplicate = true;
      }
    }
    try {
      jet::CheckIndexConstraints(db(), *table_, row.values);
      ASSERT_FALSE(duplicate) << "a duplicate key went unnoticed at row " << i;
    } catch (const act::Error& e) {
      ASSERT_TRUE(duplicate) << e.what();
      ASSERT_EQ(e.number(), kJetDuplicateKey);
      ++refused;
      continue;
    }
    jet::InsertIndexEntries(db(), *table_, row.values, row.position);
    for (const auto& index : table_->real_indexes) {
      unique_keys[index.number].insert(key_of(index, row));
    }
    live.push_back(std::move(row));
    if (i % 500 == 499) {
      ASSERT_NO_FATAL_FAILURE(Verify(live));
    }
  }
  ASSERT_NO_FATAL_FAILURE(Verify(live));
  EXPECT_GE(max_depth_, s.min_depth);

  // Out again in random order, all but the rows Access wrote.
  std::vector<TableRow> added(live.begin() + original.size(), live.end());
  std::shuffle(added.begin(), added.end(), maker.random());
  for (size_t i = 0; i < added.size(); ++i) {
    jet::RemoveIndexEntries(db(), *table_, added[i].values, added[i].position);
    if (i % 700 == 699 || i + 1 == added.size()) {
      std::vector<TableRow> rest = original;
      rest.insert(rest.end(), added.begin() + i + 1, added.end());
      ASSERT_NO_FATAL_FAILURE(Verify(rest));
    }
  }
  // Back to the original rows; the trees have shrunk to what they need.
  EXPECT_EQ(FaultText(db()), "");
  std::printf("%s %s: %d rows tried, %d refused as duplicates, depth %d\n", s.sample, s.table,
              s.rows, refused, max_depth_);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, GeneratedScenario,
    ::testing::Values(Scenario{"jet3/testIndexCodesV1997.mdb", "Table12_asc_desc", 3000, 3},
                      Scenario{"jet3/testIndexCodesV1997.mdb", "Table1_desc", 3000, 3},
                      Scenario{"jet3/testIndexCodesV1997.mdb", "Table11", 4000, 2},
                      Scenario{"jet3/compIndexTestV1997.mdb", "Table1", 4000, 2}),
    [](const auto& info) { return std::string(info.param.table); });

TEST(IndexConstraints, RequiredIndexRefusesNull) {
  MemoryDatabase m = OpenSampleCopy("jet3/testIndexCodesV1997.mdb");
  auto table = m.db->Table("Table12");
  std::vector<Value> row = {Value::Null(), Value::Text("x"), Value::Long(1)};
  try {
    jet::CheckIndexConstraints(*m.db, *table, row);
    FAIL() << "a Null primary key was accepted";
  } catch (const act::Error& e) {
    EXPECT_EQ(e.number(), kJetIndexNull);
    EXPECT_NE(std::string(e.what()).find("PrimaryKey"), std::string::npos) << e.what();
  }
}

TEST(IndexConstraints, UniqueTextKeysIgnoreCaseAndAccentsStayDistinct) {
  MemoryDatabase m = OpenSampleCopy("jet3/testIndexCodesV1997.mdb");
  auto table = m.db->Table("Table2");
  std::vector<TableRow> rows = ReadRows(*m.db, *table);
  ASSERT_FALSE(rows.empty());
  std::string name = rows[0].values[0].bytes();
  // Jet 3 text keys carry no case: the upper-case form collides.
  std::string upper;
  for (char c : name) upper += char(c >= 'a' && c <= 'z' ? c - 32 : c);
  std::vector<Value> row = {Value::Text(upper), Value::Long(1)};
  try {
    jet::CheckIndexConstraints(*m.db, *table, row);
    FAIL() << "'" << upper << "' next to '" << name << "' was accepted";
  } catch (const act::Error& e) {
    EXPECT_EQ(e.number(), kJetDuplicateKey);
    EXPECT_NE(std::string(e.what()).find("'Table2', index 'PrimaryKey'"), std::string::npos)
        << e.what();
  }
  // An accent makes another key.
  row[0] = Value::Text(name + "ñ");
  EXPECT_NO_THROW(jet::CheckIndexConstraints(*m.db, *table, row));
  // The row itself, when it is being updated, is no duplicate of itself.
  row[0] = rows[0].values[0];
  EXPECT_NO_THROW(jet::CheckIndexConstraints(*m.db, *table, row, rows[0].position));
}

}  // namespace
}  // namespace act::db::testing
