// An append that stops between two writes of its flush, or half-way through
// one (a write carries a run of neighbouring pages), as a killed process
// leaves the file: whole pages, some new and some old. Whatever the
// stopping point, the file must still read: every table scans, the rows
// that were there before are all still there, and every page an index
// reaches from its root (children, tails, sibling links) is an index page
// of that table, never a page that was free before the statement and has
// not been written yet.
//
// The destination is prepared so that the statement's new index pages come
// from pages that another table's index gave back: their old bytes are
// index pages of the wrong table, which a reader rejects if anything points
// at them too early.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "db/exec/statement_executor.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/index/index_page.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/tdef_patch.h"
#include "platform/error.h"
#include "platform/fault/fault_file_system.h"
#include "tests/dbindex/index_test_util.h"
#include "tests/dbwrite/write_fixture.h"

namespace act::db::testing {
namespace {

constexpr int kKeptRows = 150;
constexpr int kAppendedRows = 1500;

std::string Title(std::mt19937& random) {
  static const char* words[] = {"Canción", "Corazón", "Mañana", "Pingüino", "Años", "Ébano"};
  return std::string(words[random() % 6]) + " " + std::to_string(random() % 1000000);
}

void Fill(HostFileSystem& fs, const std::string& path, const std::string& table, int rows,
          uint32_t seed, bool then_delete = false) {
  auto db = OpenForWrite(fs, path);
  db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*db);
  jet::TableWriter writer(*db, allocator, db->Table(table));
  std::mt19937 random(seed);
  for (int i = 0; i < rows; ++i) {
    std::string title = Title(random) + " #" + std::to_string(i);
    writer.Append({Value::Null(), Value::Text(title), Value::Text("Intérprete " + title)});
  }
  writer.Finish();
  db->pager().FlushWrites();
  if (!then_delete) return;
  db->Reload();
  auto definition = db->Table(table);
  jet::TableWriter remover(*db, allocator, definition);
  for (const TableRow& row : ReadRows(*db, *definition)) remover.Delete(row.position, row.values);
  remover.Finish();
  db->pager().FlushWrites();
}

const char* kSongs = "(id COUNTER PRIMARY KEY, titulo TEXT(100) UNIQUE, artista TEXT(120))";

std::string MakeDatabase(HostFileSystem& fs, const std::string& path, bool with_old_table) {
  jet::CreateDatabase(fs, path);
  auto db = OpenForWrite(fs, path);
  if (with_old_table) exec::ExecuteStatement(fs, *db, std::string("CREATE TABLE viejos ") + kSongs);
  exec::ExecuteStatement(fs, *db, std::string("CREATE TABLE canciones ") + kSongs);
  exec::ExecuteStatement(fs, *db, "CREATE INDEX por_artista ON canciones (artista)");
  return path;
}

std::set<int32_t> Ids(jet::Database& db, const std::string& table) {
  std::set<int32_t> ids;
  auto definition = db.Table(table);
  jet::TableScan scan(db.pager(), db.format(), *definition);
  while (scan.Next()) {
    ids.insert(scan.Get(0).integer());
    for (size_t i = 1; i < definition->columns.size(); ++i) scan.Get(i);
  }
  return ids;
}

// Every page reachable from the index's root is an index page of the table
// (ReadIndexPage checks the page type and the owning TDEF).
void ExpectReachablePagesAreIndexPages(jet::Database& db, const std::string& table) {
  auto definition = db.Table(table);
  for (const jet::RealIndex& index : definition->real_indexes) {
    std::vector<uint32_t> todo = {jet::ReadIndexState(db, *definition, index).root};
    std::set<uint32_t> seen;
    while (!todo.empty()) {
      uint32_t number = todo.back();
      todo.pop_back();
      if (number == 0 || !seen.insert(number).second) continue;
      jet::IndexPage page = jet::ReadIndexPage(db.pager(), db.format(), number, definition->page);
      todo.push_back(page.prev);
      todo.push_back(page.next);
      if (!page.leaf) {
        todo.push_back(page.tail);
        for (const jet::IndexEntry& e : page.entries) todo.push_back(e.child);
      }
    }
  }
}

TEST(InterruptedAppend, EveryStopBetweenPageWritesLeavesAReadableFile) {
  const std::string dir = ScratchDir("interrupted_append");
  HostFileSystem fs;
  const std::string source = MakeDatabase(fs, dir + "/source.mdb", false);
  Fill(fs, source, "canciones", kAppendedRows, 7);
  const std::string original = MakeDatabase(fs, dir + "/original.mdb", true);
  Fill(fs, original, "viejos", 3000, 11, /*then_delete=*/true);
  Fill(fs, original, "canciones", kKeptRows, 13);
  std::set<int32_t> kept;
  {
    auto db = OpenForWrite(fs, original);
    kept = Ids(*db, "canciones");
  }
  ASSERT_EQ(kept.size(), size_t(kKeptRows));

  const std::string dest = dir + "/dest.mdb";
  const std::string statement =
      "INSERT INTO canciones IN '" + dest + "' SELECT titulo, artista FROM canciones";
  // Removed first: MinGW's copy_file refuses to overwrite under Wine.
  auto restore = [&] {
    std::filesystem::remove(dest);
    std::filesystem::copy_file(original, dest);
  };

  // The whole statement once, to number its page writes.
  restore();
  std::vector<uint64_t> writes;
  uint64_t size_before = std::filesystem::file_size(dest);
  {
    FaultFileSystem counting(fs);
    auto db = OpenForWrite(fs, source);
    auto result = exec::ExecuteStatement(counting, *db, statement);
    ASSERT_EQ(result.changed, uint64_t(kAppendedRows));
    for (size_t i = 0; i < counting.log().size(); ++i) {
      if (counting.log()[i].name == "WriteAt" && counting.log()[i].path == dest) {
        writes.push_back(i + 1);
      }
    }
  }
  ASSERT_GT(writes.size(), 40u);
  {
    auto db = OpenForWrite(fs, dest);
    EXPECT_EQ(FaultText(*db), "");
    EXPECT_EQ(Ids(*db, "canciones").size(), size_t(kKeptRows + kAppendedRows));
  }
  // The freed pages were reused: the file grew by less than it would have.
  const uint64_t grown = std::filesystem::file_size(dest) - size_before;
  EXPECT_LT(grown, uint64_t(writes.size()) * 2048);

  // Then stopped at each write in turn (a sample, when there are many):
  // before it, and half-way through it.
  const size_t step = std::max<size_t>(1, writes.size() / 300);
  int stops = 0;
  for (size_t at = 0; at < 2 * writes.size(); at += step) {
    const size_t w = at / 2;
    const bool half_done = at % 2 == 1;
    restore();
    {
      FaultFileSystem faulty(fs);
      if (half_done) faulty.StopAt(writes[w]);
      else faulty.FailAt(writes[w], kErrDeviceIO);
      auto db = OpenForWrite(fs, source);
      EXPECT_ANY_THROW(exec::ExecuteStatement(faulty, *db, statement))
          << "write " << w << " (operation " << writes[w] << ")";
    }
    auto db = OpenForWrite(fs, dest);
    SCOPED_TRACE(std::string(half_done ? "stopped half-way through write " : "stopped before write ") +
                 std::to_string(w) + " of " + std::to_string(writes.size()));
    std::set<int32_t> ids;
    ASSERT_NO_THROW(ids = Ids(*db, "canciones"));
    ASSERT_NO_THROW(Ids(*db, "viejos"));
    for (int32_t id : kept) ASSERT_TRUE(ids.count(id)) << "row " << id << " lost";
    ASSERT_NO_THROW(ExpectReachablePagesAreIndexPages(*db, "canciones"));
    ++stops;
  }
  EXPECT_GT(stops, 80);
}

}  // namespace
}  // namespace act::db::testing
