// Writing into copies of the Access samples, read back by mdb-export (an
// independent reader), by our own engine, and by the page/map checker:
// inserts over many pages, memo values of every storage form, rows that
// grow under UPDATE until they move, counters, and the carry-over's
// INSERT ... IN ... SELECT between two files.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "db/errors.h"
#include "db/exec/select_cursor.h"
#include "db/exec/statement_executor.h"
#include "db/jet/table/column_properties.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/table_scan.h"
#include "db/sql/parser.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

void ExpectConsistent(jet::Database& db) {
  auto faults = jet::Faults(jet::CheckDatabase(db));
  std::string all;
  for (const auto& f : faults) all += f.text() + "\n";
  EXPECT_TRUE(faults.empty()) << all;
}

size_t ReadRowCount(jet::Database& db, const std::string& name) {
  auto table = db.Table(name);
  size_t n = 0;
  jet::TableScan scan(db.pager(), db.format(), *table);
  while (scan.Next()) ++n;
  return n;
}

// Our rendering of the table holds the same lines as mdb-export's. (mdbtools
// lists a moved row where its body lies, so the order may differ.)
void ExpectMdbExportAgrees(const std::string& path, const std::string& table) {
  ACT_REQUIRE_TOOL("mdb-export");
  ACT_REQUIRE_TOOL("mdb-reader");
  bool ok = false;
  std::string theirs = MdbExport(path, table, &ok);
  ASSERT_TRUE(ok) << "mdb-export cannot read " << path;
  jet::Database db(std::make_unique<HostFile>(path));
  std::string ours = RenderLikeMdbExport(db, table);
  EXPECT_EQ(SortedLines(ours), SortedLines(theirs)) << path << " " << table;
  // The second independent reader finds the same number of rows.
  bool have_reader = false, failed = false;
  auto rows = MdbReaderRows(path, table, &have_reader, &failed);
  EXPECT_FALSE(failed) << "mdb-reader cannot read " << path;
  EXPECT_EQ(ReadRowCount(db, table), rows.size()) << "mdb-reader, " << path << " " << table;
}

std::vector<std::vector<Value>> ReadRows(jet::Database& db, const std::string& name) {
  auto table = db.Table(name);
  std::vector<std::vector<Value>> rows;
  jet::TableScan scan(db.pager(), db.format(), *table);
  while (scan.Next()) {
    std::vector<Value> row;
    for (size_t i = 0; i < table->columns.size(); ++i) row.push_back(scan.Get(i));
    rows.push_back(row);
  }
  return rows;
}

TEST(Append, ThousandsOfRowsOverManyPages) {
  std::string dir = ScratchDir("many_rows");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "many.mdb");
  HostFileSystem fs;
  const int kRows = 3000;
  {
    auto db = OpenForWrite(fs, path);
    for (int i = 0; i < kRows; ++i) {
      auto r = ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (" + std::to_string(i) +
                                              ", 'canción número " + std::to_string(i) + "')");
      EXPECT_EQ(1, r.changed);
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  auto rows = ReadRows(db, "Table3");
  ASSERT_GE(rows.size(), size_t(kRows));
  size_t first = rows.size() - kRows;
  for (int i = 0; i < kRows; ++i) {
    EXPECT_EQ(Value::Long(i), rows[first + i][0]);
    EXPECT_EQ(Value::Text("canción número " + std::to_string(i)), rows[first + i][1]);
  }
  EXPECT_EQ(rows.size(), db.Table("Table3")->row_count);
  ExpectConsistent(db);
  ExpectMdbExportAgrees(path, "Table3");
}

// Past 1024 pages the inline maps (global map, the table's owned and free
// maps) cannot list the pages any more and become reference maps.
TEST(Append, FilesPastTheInlineMapRangeUseReferenceMaps) {
  std::string dir = ScratchDir("big");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "big.mdb");
  HostFileSystem fs;
  const int kRows = 100000;
  {
    auto db = OpenForWrite(fs, path);
    db->pager().BeginDeferredWrites();
    jet::PageAllocator allocator(*db);
    jet::TableWriter writer(*db, allocator, db->Table("Table3"));
    for (int i = 0; i < kRows; ++i) {
      writer.Append({Value::Long(i), Value::Text("pingüino " + std::to_string(i))});
      if (db->pager().pending_writes() > 256) {
        writer.Finish();
        db->pager().FlushWrites();
      }
    }
    writer.Finish();
    db->pager().FlushWrites();
    EXPECT_GT(db->pager().page_count(), 1100u);
  }
  jet::Database db(std::make_unique<HostFile>(path));
  auto rows = ReadRows(db, "Table3");
  ASSERT_GE(rows.size(), size_t(kRows));
  size_t first = rows.size() - kRows;
  EXPECT_EQ(Value::Long(0), rows[first][0]);
  EXPECT_EQ(Value::Text("pingüino 99999"), rows.back()[1]);
  ExpectConsistent(db);
  if (HaveCommand("mdb-count")) {
    EXPECT_EQ(int(rows.size()), MdbExportRowCount(path, "Table3"));
  }
  ExpectMdbExportAgrees(path, "Table3");
}

// Access 2000 leaves a global map in reference form without any bitmap
// page: every page inside the file is then in use. Appends in two sessions
// over such a map take new pages only, never a live one.
TEST(Append, AGlobalMapWithoutBitmapPagesKeepsLivePages) {
  std::string dir = ScratchDir("ref_global");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "ref.mdb");
  {
    std::vector<uint8_t> bytes = ReadHostFile(path);
    jet::Database db(std::make_unique<HostFile>(path));
    jet::Slot slot = jet::ReadSlot(*db.pager().Get(1), db.format(), 0);
    const size_t row = db.format().page_size + slot.start;
    std::fill(bytes.begin() + long(row), bytes.begin() + long(row + slot.size()), 0);
    bytes[row] = 1;  // reference map, no bitmap page
    WriteHostFile(path, bytes);
  }
  HostFileSystem fs;
  for (int session = 0; session < 2; ++session) {
    auto db = OpenForWrite(fs, path);
    for (int i = 0; i < 300; ++i) {
      ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (" +
                                    std::to_string(1000 * session + i) + ", 'página')");
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  ExpectConsistent(db);
  ExpectMdbExportAgrees(path, "Table3");
}

// A global map in reference form whose first run has no bitmap page (all
// its pages in use) and whose second run's bitmap marks the pages past the
// end free. Freeing a page of the first run makes that run's bitmap page at
// the end of the file, inside the second run, where it must read as in use.
TEST(Append, ANewGlobalBitmapPageIsInUseInTheRunItLiesIn) {
  std::string dir = ScratchDir("runs");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "runs.mdb");
  {
    std::vector<uint8_t> bytes = ReadHostFile(path);
    jet::Database db(std::make_unique<HostFile>(path));
    const size_t page_size = db.format().page_size, per = (page_size - 4) * 8;
    const size_t pages = per + 4;  // the second run's bitmap is the last page
    bytes.resize(pages * page_size, 0);
    std::vector<uint8_t> bitmap(page_size, 0);
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    for (size_t k = pages - per; k < per; ++k) bitmap[4 + k / 8] |= uint8_t(1u << (k % 8));
    std::copy(bitmap.begin(), bitmap.end(), bytes.begin() + long((pages - 1) * page_size));
    jet::Slot slot = jet::ReadSlot(*db.pager().Get(1), db.format(), 0);
    const size_t row = page_size + slot.start;
    std::fill(bytes.begin() + long(row), bytes.begin() + long(row + slot.size()), 0);
    bytes[row] = 1;  // reference map: run 0 without a bitmap page, run 1 on the last page
    jet::StoreU32(&bytes[row + 5], uint32_t(pages - 1));
    WriteHostFile(path, bytes);
  }
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, "DROP TABLE Table3");
  }
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_FALSE(db.FindTable("Table3"));
  ExpectConsistent(db);
}

TEST(Append, MemoValuesInlineSingleRowAndChains) {
  std::string dir = ScratchDir("memo");
  std::string path = CopySample("jet3/test2V1997.mdb", dir, "memo.mdb");
  HostFileSystem fs;
  // Lengths that land inline, in one LVAL row, and in chains of 2 and 4 links.
  const std::vector<size_t> lengths = {1, 10, 64, 65, 1500, 2032, 2033, 5000, 7000};
  {
    auto db = OpenForWrite(fs, path);
    int id = 1000;
    for (size_t n : lengths) {
      std::string text;
      for (size_t k = 0; k < n; ++k) text += char('a' + (k * 7 + n) % 26);
      if (n > 3) text.replace(0, 2, "é");  // one two-byte UTF-8 char = one 1252 byte
      ExecuteStatement(fs, *db,
                       "INSERT INTO MSP_PROJECTS (PROJ_ID, PROJ_PROP_AUTHOR, PROJ_PROP_COMPANY) "
                       "VALUES (" + std::to_string(id++) + ", '" + text + "', 'Zentaro ñ')");
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  auto table = db.Table("MSP_PROJECTS");
  int author = -1, pid = -1;
  for (size_t i = 0; i < table->columns.size(); ++i) {
    if (table->columns[i].name == "PROJ_PROP_AUTHOR") author = int(i);
    if (table->columns[i].name == "PROJ_ID") pid = int(i);
  }
  ASSERT_GE(author, 0);
  auto rows = ReadRows(db, "MSP_PROJECTS");
  size_t matched = 0;
  for (const auto& row : rows) {
    if (row[pid].is_null() || row[pid].integer() < 1000) continue;
    size_t n = lengths[row[pid].integer() - 1000];
    std::string text;
    for (size_t k = 0; k < n; ++k) text += char('a' + (k * 7 + n) % 26);
    if (n > 3) text.replace(0, 2, "é");
    EXPECT_EQ(Value::Text(text), row[author]) << "length " << n;
    ++matched;
  }
  EXPECT_EQ(lengths.size(), matched);
  ExpectConsistent(db);
  ExpectMdbExportAgrees(path, "MSP_PROJECTS");
}

// Jet 3 keeps a variable column's offset in one byte, so a row of 256
// bytes or more carries a jump table saying where each 256-byte boundary
// falls among the offsets. Rows around each boundary, with the long text in
// different columns and Nulls between them, must read back the same in our
// reader, mdb-export and mdb-reader.
TEST(Append, RowsPastEach256BytesCarryTheirJumpTable) {
  std::string dir = ScratchDir("jump_table");
  const std::string path = dir + "/largo.mdb";
  HostFileSystem fs;
  jet::CreateDatabase(fs, path);
  std::vector<std::vector<Value>> expected;
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, "CREATE TABLE largo (id LONG, a TEXT(255), b TEXT(255), "
                              "c TEXT(255), d TEXT(255))");
    int id = 0;
    for (int start : {236, 492, 720}) {
      for (int total = start; total < start + 40; ++total) {
        // The text spread over the columns in four ways, each with a Null.
        for (int shape = 0; shape < 4; ++shape) {
          std::vector<std::optional<std::string>> texts(4);
          const int parts = 3;
          for (int k = 0; k < parts; ++k) {
            const int n = total / parts + (k < total % parts ? 1 : 0);
            std::string t;
            for (int j = 0; j < n; ++j) t += char('a' + (j + k + total) % 26);
            if (n > 2) t.replace(0, 2, "ñ");  // two UTF-8 bytes, one stored byte
            texts[(k + shape + (k >= shape ? 1 : 0)) % 4] = t;
          }
          std::vector<Value> row = {Value::Long(id)};
          std::string sql = "INSERT INTO largo (id, a, b, c, d) VALUES (" + std::to_string(id);
          for (const auto& t : texts) {
            row.push_back(t ? Value::Text(*t) : Value::Null());
            sql += t ? ", '" + *t + "'" : ", Null";
          }
          ExecuteStatement(fs, *db, sql + ")");
          expected.push_back(row);
          ++id;
        }
      }
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_EQ(ReadRows(db, "largo"), expected);
  // Rows on both sides of each boundary were written. (A row cannot end
  // one byte past one: crossing it adds a jump byte.)
  std::set<size_t> sizes;
  jet::TableScan scan(db.pager(), db.format(), *db.Table("largo"));
  while (scan.Next()) sizes.insert(scan.row().bytes.size());
  for (size_t boundary : {256, 512, 768}) {
    EXPECT_TRUE(sizes.count(boundary - 1) && sizes.count(boundary) && sizes.count(boundary + 2))
        << "no rows around " << boundary << " bytes";
  }
  ExpectConsistent(db);
  ExpectMdbExportAgrees(path, "largo");
}

TEST(Update, GrowingRowsMoveAndStayReadable) {
  std::string dir = ScratchDir("grow");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "grow.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    for (int i = 0; i < 60; ++i) {
      ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (" + std::to_string(i) + ", 'x')");
    }
    // Each update grows rows until the page cannot hold them all: some move.
    for (int round = 1; round <= 5; ++round) {
      std::string longer(round * 10, char('A' + round));
      auto r = ExecuteStatement(fs, *db, "UPDATE Table3 SET b = '" + longer + "' WHERE a >= 0");
      EXPECT_EQ(60, r.changed);
    }
    auto r = ExecuteStatement(fs, *db, "UPDATE Table3 SET b = NULL WHERE a = 7");
    EXPECT_EQ(1, r.changed);
    r = ExecuteStatement(fs, *db, "UPDATE Table3 SET b = 'siete' WHERE b IS NULL AND a = 7");
    EXPECT_EQ(1, r.changed);
  }
  jet::Database db(std::make_unique<HostFile>(path));
  auto rows = ReadRows(db, "Table3");
  int seen = 0;
  for (const auto& row : rows) {
    if (row[0].is_null() || row[0].integer() < 0 || row[0].integer() >= 60) continue;
    ++seen;
    EXPECT_EQ(Value::Text(row[0].integer() == 7 ? "siete" : std::string(50, 'F')), row[1]);
  }
  EXPECT_EQ(60, seen);
  ExpectConsistent(db);
  ExpectMdbExportAgrees(path, "Table3");
}

TEST(Update, TextConditionIgnoresCaseLikeJet) {
  std::string dir = ScratchDir("update_case");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "case.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (1, 'VersionCLI')");
  auto r = ExecuteStatement(fs, *db, "UPDATE Table3 SET a = 42 WHERE b='versioncli'");
  EXPECT_EQ(1, r.changed);
  r = ExecuteStatement(fs, *db, "UPDATE Table3 SET a = 43 WHERE b='nothing'");
  EXPECT_EQ(0, r.changed);
  auto rows = ReadRows(*db, "Table3");
  EXPECT_EQ(Value::Long(42), rows.back()[0]);
}

// A condition that pins a text column to one value is answered from the
// rows the database keeps by that column's value; `NOT b <> ...` asks the
// same of a full scan. The two must agree after every kind of change.
TEST(Update, LookupsByTextAgreeWithAFullScanAfterEachChange) {
  std::string dir = ScratchDir("pinned");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "pinned.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  auto rows_where = [&](const std::string& condition) {
    const std::string text = "SELECT a FROM Table3 WHERE " + condition;
    exec::SelectCursor cursor(*db, std::get<sql::SelectStatement>(sql::Parse(text)), text);
    std::vector<std::string> out;
    while (cursor.Next()) out.push_back(cursor.value(0).ToText());
    return out;
  };
  auto expect_agree = [&](const std::string& value, size_t count) {
    auto pinned = rows_where("b = '" + value + "' AND a >= 0");
    EXPECT_EQ(rows_where("NOT b <> '" + value + "'"), pinned) << value;
    EXPECT_EQ(count, pinned.size()) << value;
  };
  for (int i = 0; i < 30; ++i) {
    const char* names[] = {"Volumen", "VOLUMEN", "Año", "Ano", "brillo"};
    ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (" + std::to_string(1000 + i) + ", '" +
                                  names[i % 5] + "')");
  }
  expect_agree("volumen", 12);  // letter case aside, accents apart
  expect_agree("año", 6);
  ExecuteStatement(fs, *db, "UPDATE Table3 SET a = 5 WHERE b = 'brillo' AND a = 1004");  // not b
  expect_agree("brillo", 6);
  ExecuteStatement(fs, *db, "UPDATE Table3 SET b = 'contraste' WHERE b = 'ano'");  // the column
  expect_agree("ano", 0);
  expect_agree("contraste", 6);
  ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (2000, 'Ano')");
  expect_agree("ano", 1);
  auto r = ExecuteStatement(fs, *db, "UPDATE Table3 SET a = 2001 WHERE b = 'ANO'");
  EXPECT_EQ(1, r.changed);
}

TEST(Append, CounterTakesNextValueAndMovesPastCopiedOnes) {
  std::string dir = ScratchDir("counter");
  std::string path = CopySample("jet3/testIndexCodesV1997.mdb", dir, "counter.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  auto table = db->Table("Table11");
  ASSERT_TRUE(table->columns[0].flags & jet::kColumnAutonumber);
  uint32_t before = table->autonumber;
  ExecuteStatement(fs, *db, "INSERT INTO Table11 (data) VALUES ('next')");
  EXPECT_EQ(before + 1, db->Table("Table11")->autonumber);
  ExecuteStatement(fs, *db, "INSERT INTO Table11 (id, data) VALUES (500, 'copied')");
  EXPECT_EQ(500u, db->Table("Table11")->autonumber);
  ExecuteStatement(fs, *db, "INSERT INTO Table11 (data) VALUES ('after')");
  auto rows = ReadRows(*db, "Table11");
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(Value::Long(int32_t(before + 1)), rows[rows.size() - 3][0]);
  EXPECT_EQ(Value::Long(500), rows[rows.size() - 2][0]);
  EXPECT_EQ(Value::Long(501), rows[rows.size() - 1][0]);
}

TEST(CarryOver, InsertInSelectAppendsIntoTheOtherFileAndLeavesTheSource) {
  std::string dir = ScratchDir("carry");
  std::string installed = CopySample("jet3/testV1997.mdb", dir, "datos.mdb");
  std::string staged = CopySample("jet3/testV1997.mdb", dir, "datos.new");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, installed);
    for (int i = 0; i < 500; ++i) {
      ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (" + std::to_string(i) +
                                    ", 'Año " + std::to_string(i) + "')");
    }
  }
  std::vector<uint8_t> source_before = ReadHostFile(installed);
  size_t staged_rows_before = 0;
  {
    jet::Database s(std::make_unique<HostFile>(staged));
    staged_rows_before = ReadRows(s, "Table3").size();
  }
  {
    auto source = jet::Database::Open(fs, installed, false);
    auto r = ExecuteStatement(fs, *source,
                              "Insert INTO Table3 IN '" + staged + "' SELECT * FROM Table3");
    EXPECT_EQ(int64_t(ReadRows(*source, "Table3").size()), r.changed);
  }
  EXPECT_EQ(source_before, ReadHostFile(installed));
  jet::Database db(std::make_unique<HostFile>(staged));
  auto rows = ReadRows(db, "Table3");
  jet::Database src(std::make_unique<HostFile>(installed));
  auto source_rows = ReadRows(src, "Table3");
  ASSERT_EQ(staged_rows_before + source_rows.size(), rows.size());
  for (size_t i = 0; i < source_rows.size(); ++i) {
    EXPECT_EQ(source_rows[i], rows[staged_rows_before + i]);
  }
  ExpectConsistent(db);
  ExpectMdbExportAgrees(staged, "Table3");
}

TEST(CarryOver, ValuesConvertToTheDestinationTypeOrTheRowIsLeftOut) {
  std::string dir = ScratchDir("convert");
  std::string from = CopySample("jet3/testV1997.mdb", dir, "from.mdb");
  std::string to = CopySample("jet3/testV1997.mdb", dir, "to.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, from);
    // Table3.b is text; these rows go to a table whose b is... the same text
    // column, but through the INSERT's column list into Long column a.
    ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (1, '123')");
    ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (2, 'not a number')");
    ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (3, ' 77 ')");
  }
  auto source = jet::Database::Open(fs, from, false);
  auto r = ExecuteStatement(fs, *source, "INSERT INTO Table3 (b, a) IN '" + to +
                                             "' SELECT a, b FROM Table3 WHERE a IN (1, 2, 3)");
  EXPECT_EQ(2, r.changed);
  EXPECT_EQ(1, r.refused_value);
  jet::Database db(std::make_unique<HostFile>(to));
  auto rows = ReadRows(db, "Table3");
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(Value::Long(123), rows[rows.size() - 2][0]);
  EXPECT_EQ(Value::Text("1"), rows[rows.size() - 2][1]);
  EXPECT_EQ(Value::Long(77), rows[rows.size() - 1][0]);
  ExpectConsistent(db);
}

}  // namespace
}  // namespace act::db::testing

namespace act::db::testing {
namespace {

// Table1 of testV1997 has a primary key on its text column A: rows whose key
// the destination holds are refused (an error for VALUES, left out and
// counted for the carry-over's SELECT), the others appended, and the index
// lists exactly the table's rows afterwards.
TEST(CarryOver, RowsWithKeysTheDestinationHoldsAreLeftOut) {
  std::string dir = ScratchDir("keys");
  std::string installed = CopySample("jet3/testV1997.mdb", dir, "datos.mdb");
  std::string staged = CopySample("jet3/testV1997.mdb", dir, "datos.new");
  HostFileSystem fs;
  size_t shipped = 0;
  {
    auto db = OpenForWrite(fs, installed);
    shipped = ReadRows(*db, "Table1").size();
    ASSERT_FALSE(db->Table("Table1")->real_indexes.empty());
    try {
      ExecuteStatement(fs, *db, "INSERT INTO Table1 (A, I) VALUES ('A', 0)");
      ADD_FAILURE() << "a duplicate key (case differs) was accepted";
    } catch (const act::Error& e) {
      EXPECT_EQ(kJetDuplicateKey, e.number()) << e.what();
    }
    for (int i = 0; i < 300; ++i) {
      ExecuteStatement(fs, *db, "INSERT INTO Table1 (A, B, E, I) VALUES ('clave " +
                                    std::to_string(i) + " ñ', 'b', " + std::to_string(i) +
                                    ", TRUE)");
    }
    EXPECT_TRUE(jet::Faults(jet::CheckDatabase(*db)).empty());
  }
  auto source = jet::Database::Open(fs, installed, false);
  auto r = ExecuteStatement(fs, *source, "Insert INTO Table1 IN '" + staged +
                                             "' SELECT * FROM Table1");
  EXPECT_EQ(300, r.changed);
  EXPECT_EQ(int64_t(shipped), r.refused_key);
  jet::Database db(std::make_unique<HostFile>(staged));
  EXPECT_EQ(shipped + 300, ReadRows(db, "Table1").size());
  ExpectConsistent(db);
  ExpectMdbExportAgrees(staged, "Table1");
}

}  // namespace
}  // namespace act::db::testing

namespace act::db::testing {
namespace {

// Table1 of testV1997 carries Access's column properties: text columns with
// AllowZeroLength "no", number columns with DefaultValue 0.
TEST(ColumnProperties, DefaultsFillLeftOutColumnsAndEmptyTextIsRefused) {
  std::string dir = ScratchDir("props");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "props.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  auto props = jet::ReadColumnProperties(*db, db->Table("Table1")->page);
  ASSERT_TRUE(props.count("A"));
  EXPECT_FALSE(props["A"].allow_zero_length);
  EXPECT_FALSE(props["A"].required);
  ASSERT_TRUE(props.count("C") && props["C"].default_value);
  EXPECT_EQ(Value::Long(0), *props["C"].default_value);

  ExecuteStatement(fs, *db, "INSERT INTO Table1 (A, I) VALUES ('nuevo', TRUE)");
  auto rows = ReadRows(*db, "Table1");
  auto table = db->Table("Table1");
  const auto& added = rows.back();
  EXPECT_EQ(Value::Text("nuevo"), added[0]);
  EXPECT_TRUE(added[1].is_null());          // B: text, no default
  EXPECT_EQ(Value::Byte(0), added[2]);      // C: DefaultValue 0
  EXPECT_EQ(Value::Integer(0), added[3]);   // D
  EXPECT_EQ(Value::Long(0), added[4]);      // E
  try {
    ExecuteStatement(fs, *db, "INSERT INTO Table1 (A, B, I) VALUES ('otro', '', FALSE)");
    ADD_FAILURE() << "empty text accepted where AllowZeroLength is no";
  } catch (const act::Error& e) {
    EXPECT_EQ(kJetZeroLengthString, e.number()) << e.what();
  }
  auto r = ExecuteStatement(fs, *db, "UPDATE Table1 SET B = '' WHERE A = 'nuevo'");
  EXPECT_EQ(0, r.changed);
  EXPECT_EQ(1, r.refused_rule);
  EXPECT_EQ(rows.size(), ReadRows(*db, "Table1").size());
}

}  // namespace
}  // namespace act::db::testing
