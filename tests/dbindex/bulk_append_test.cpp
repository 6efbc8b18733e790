// A bulk append against the same rows appended one at a time. The rows
// bring refusals of every kind (repeated titles, an earlier row's and a
// kept row's, counter values the table holds, a missing required value)
// and keys in no order; the bulk append is given so little memory that
// its entries and its census go through the scratch file many times. Both
// files must hold the same rows with the same counter values, list them in
// the same order in every index, and pass the checker, and the scratch
// file must be gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "db/exec/statement_executor.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "platform/error.h"
#include "tests/dbindex/index_test_util.h"
#include "tests/dbwrite/write_fixture.h"

namespace act::db::testing {
namespace {

constexpr int kKept = 3000;  // enough for trees of several levels
constexpr int kRows = 6000;
constexpr int32_t kFirstKeptId = 100001;

std::vector<Value> Row(int i, bool copy_ids) {
  // 5987 is prime: the titles come in no order.
  std::string title = "Título " + std::to_string((int64_t(i) * 7919) % 5987) + " ñ";
  if (i % 7 == 3) title = "Título " + std::to_string((int64_t(i - 3) * 7919) % 5987) + " ñ";
  if (i % 11 == 5) title = "Guardada " + std::to_string(i % kKept);
  Value id = copy_ids ? Value::Long(i + 1) : Value::Null();
  if (copy_ids && i % 19 == 2) id = Value::Long(kFirstKeptId + i % kKept);
  const Value artist = i % 13 == 4 ? Value::Null() : Value::Text("Intérprete " + std::to_string(i * 31 % 97));
  const Value n = i % 17 == 6 ? Value::Null() : Value::Long(i);
  return {id, Value::Text(title), artist, n};
}

std::string MakeDestination(HostFileSystem& fs, const std::string& path, bool with_kept) {
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  exec::ExecuteStatement(fs, *db, "CREATE TABLE canciones (id COUNTER PRIMARY KEY, "
                                  "titulo TEXT(60) UNIQUE, artista TEXT(60), n LONG NOT NULL)");
  exec::ExecuteStatement(fs, *db, "CREATE INDEX por_artista ON canciones (artista)");
  if (!with_kept) return path;
  db->Reload();
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table("canciones"));
  for (int k = 0; k < kKept; ++k) {
    writer.Append({Value::Long(kFirstKeptId + k), Value::Text("Guardada " + std::to_string(k)),
                   Value::Text("Intérprete " + std::to_string(k % 97)), Value::Long(k)});
  }
  writer.Finish();
  db->pager().FlushWrites();
  return path;
}

// Notes the scratch files made, to hold the bulk append to using one.
class WatchedFileSystem : public HostFileSystem {
 public:
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override {
    if (path.size() > 4 && path.substr(path.size() - 4) == ".tmp") scratch.push_back(path);
    return HostFileSystem::CreateRandomAccess(path);
  }
  std::vector<std::string> scratch;
};

struct Outcome {
  int written = 0;
  std::map<int, int> refused;  // by error number
  bool in_bulk = false;        // still bulk after the census
};

Outcome Append(HostFileSystem& fs, const std::string& path, bool copy_ids, bool bulk,
               const jet::BulkLimits& limits) {
  auto db = OpenForWrite(fs, path);
  jet::Pager& pager = db->pager();
  pager.BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table("canciones"));
  auto flush = [&] {
    writer.Finish();
    pager.FlushWrites(false);
  };
  Outcome outcome;
  if (bulk) {
    EXPECT_TRUE(writer.BeginBulk(fs, limits));
    EXPECT_TRUE(writer.census_wanted());
    bool counted = true;
    for (int i = 0; i < kRows && counted; ++i) {
      const std::vector<Value> values = Row(i, copy_ids);
      jet::PreparedRow prepared;
      writer.PrepareCensus(values, nullptr, prepared);
      counted = writer.Census(values, nullptr, prepared);
    }
    if (!counted || !writer.EndCensus()) writer.CancelBulk();
    outcome.in_bulk = writer.in_bulk();
  }
  for (int i = 0; i < kRows; ++i) {
    std::vector<Value> values = Row(i, copy_ids);
    jet::PreparedRow prepared;
    writer.Prepare(values, nullptr, prepared);
    try {
      writer.Append(values, nullptr, prepared);
      ++outcome.written;
    } catch (const act::Error& e) {
      ++outcome.refused[e.number()];
    }
    if (pager.pending_writes() > 64) flush();
  }
  if (writer.in_bulk()) writer.EndBulk(flush, 64);
  writer.Finish();
  pager.FlushWrites();
  return outcome;
}

// Each index's entries as (key, id of the row listed), in index order.
std::vector<std::pair<std::vector<uint8_t>, int32_t>> Listing(jet::Database& db,
                                                              const jet::TableDefinition& table,
                                                              const jet::RealIndex& index) {
  std::map<std::pair<uint32_t, uint8_t>, int32_t> ids;
  for (const TableRow& row : ReadRows(db, table)) {
    ids[{row.position.page, row.position.row}] = int32_t(row.values[0].integer());
  }
  std::vector<std::pair<std::vector<uint8_t>, int32_t>> out;
  for (const jet::IndexEntry& e : IndexEntries(db, table, index)) {
    auto it = ids.find({e.row.page, e.row.row});
    out.emplace_back(std::vector<uint8_t>(e.key.begin(), e.key.end()),
                     it == ids.end() ? -1 : it->second);
  }
  return out;
}

struct Case {
  const char* name;
  bool copy_ids;
  bool with_kept;
  size_t repeated_keys;
  bool stays_bulk;
};

class BulkAppend : public ::testing::TestWithParam<Case> {};

TEST_P(BulkAppend, GivesWhatRowByRowGives) {
  const Case& c = GetParam();
  const std::string dir = ScratchDir(std::string("bulk_append_") + c.name);
  WatchedFileSystem fs;
  const std::string one_by_one = MakeDestination(fs, dir + "/uno.mdb", c.with_kept);
  const std::string bulk = MakeDestination(fs, dir + "/bulk.mdb", c.with_kept);
  jet::BulkLimits limits;
  limits.runs = 16 << 10;
  limits.census_hashes = 700;
  limits.repeated_keys = c.repeated_keys;

  const Outcome want = Append(fs, one_by_one, c.copy_ids, false, limits);
  const Outcome got = Append(fs, bulk, c.copy_ids, true, limits);
  EXPECT_EQ(got.in_bulk, c.stays_bulk);
  EXPECT_EQ(fs.scratch.size(), 1u) << "the census and the runs share one scratch file";
  EXPECT_EQ(got.written, want.written);
  EXPECT_EQ(got.refused, want.refused);
  EXPECT_GT(want.refused.count(3022) ? want.refused.at(3022) : 0, 500);  // the keys did meet
  EXPECT_GT(want.written, kRows / 2);

  auto a = OpenForWrite(fs, one_by_one);
  auto b = OpenForWrite(fs, bulk);
  EXPECT_EQ(FaultText(*a), "");
  EXPECT_EQ(FaultText(*b), "");
  auto ta = a->Table("canciones");
  auto tb = b->Table("canciones");
  EXPECT_EQ(ta->row_count, tb->row_count);
  EXPECT_EQ(ta->autonumber, tb->autonumber);
  std::map<int32_t, std::vector<Value>> rows_a, rows_b;
  for (const TableRow& r : ReadRows(*a, *ta)) rows_a[int32_t(r.values[0].integer())] = r.values;
  for (const TableRow& r : ReadRows(*b, *tb)) rows_b[int32_t(r.values[0].integer())] = r.values;
  EXPECT_TRUE(rows_a == rows_b);
  for (size_t i = 0; i < ta->real_indexes.size(); ++i) {
    SCOPED_TRACE("index " + std::to_string(i));
    EXPECT_TRUE(Listing(*a, *ta, ta->real_indexes[i]) == Listing(*b, *tb, tb->real_indexes[i]));
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().extension(), ".mdb") << entry.path() << " left behind";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BulkAppend,
    ::testing::Values(
        // Copied counters into trees of several levels: merged leaf by leaf.
        Case{"copied_ids", true, true, 65536, true},
        // Counter values the writer gives, into empty trees: built anew.
        Case{"new_ids", false, false, 65536, true},
        // More repeated keys than the bound: the rows go in one at a time.
        Case{"too_many_repeats", true, true, 100, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace act::db::testing
