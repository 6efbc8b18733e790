// CREATE TABLE in a new database and in a copy of an Access sample: the
// table is read back by our engine, mdb-schema/mdb-export and mdb-reader,
// takes thousands of rows with its primary key and unique index kept (and
// refusing duplicates), and the whole file stays consistent; its catalog row
// is dated by the database's clock.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/table/table_scan.h"
#include "platform/clock.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

using exec::ExecuteStatement;

const char* kCreateSongs =
    "CREATE TABLE canciones (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(80), "
    "album TEXT(80), genero TEXT(40), letra MEMO, precio CURRENCY, fecha DATETIME, "
    "activo BIT, CONSTRAINT titulo_unico UNIQUE (titulo))";

std::string FaultText(jet::Database& db) {
  std::string all;
  for (const auto& f : jet::Faults(jet::CheckDatabase(db))) all += f.text() + "\n";
  return all;
}

void FillSongs(HostFileSystem& fs, jet::Database& db, int rows) {
  for (int i = 0; i < rows; ++i) {
    std::string n = std::to_string(i);
    auto r = ExecuteStatement(
        fs, db,
        "INSERT INTO canciones (titulo, artista, album, genero, letra, precio, fecha, activo) "
        "VALUES ('Canción " + n + " del corazón', 'Artista ñ " + std::to_string(i % 97) +
            "', 'Álbum " + std::to_string(i % 31) + "', 'Género " + std::to_string(i % 7) +
            "', '" + std::string(size_t(i % 5) * 300 + 1, 'l') + "', " + std::to_string(i % 100) +
            ".25, #2024-01-02#, " + (i % 2 ? "TRUE" : "FALSE") + ")");
    ASSERT_EQ(1, r.changed);
  }
}

TEST(CreateTable, NewDatabaseTableTakesRowsAndKeepsItsIndexes) {
  std::string dir = ScratchDir("ddl_new");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  const int kRows = 2000;
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, kCreateSongs);
    EXPECT_EQ("", FaultText(*db));
    FillSongs(fs, *db, kRows);
    try {
      ExecuteStatement(fs, *db, "INSERT INTO canciones (titulo) VALUES ('CANCIÓN 7 DEL CORAZÓN')");
      ADD_FAILURE() << "a duplicate title was accepted";
    } catch (const act::Error& e) {
      EXPECT_EQ(kJetDuplicateKey, e.number()) << e.what();
    }
    try {
      ExecuteStatement(fs, *db, kCreateSongs);
      ADD_FAILURE() << "the table was created twice";
    } catch (const act::Error& e) {
      EXPECT_EQ(3010, e.number()) << e.what();
    }
  }
  jet::Database db(std::make_unique<HostFile>(path));
  auto table = db.Table("canciones");
  EXPECT_EQ(uint32_t(kRows), table->row_count);
  EXPECT_EQ(uint32_t(kRows), table->autonumber);
  jet::TableScan scan(db.pager(), db.format(), *table);
  int seen = 0;
  while (scan.Next()) {
    EXPECT_EQ(Value::Long(seen + 1), scan.Get(0));
    EXPECT_EQ(Value::Text("Canción " + std::to_string(seen) + " del corazón"), scan.Get(1));
    ++seen;
  }
  EXPECT_EQ(kRows, seen);
  EXPECT_EQ("", FaultText(db));

  ACT_REQUIRE_TOOL("mdb-export");
  CommandOutput tables = RunCommand("mdb-tables -1 '" + path + "'");
  EXPECT_EQ("canciones\n", tables.out);
  CommandOutput schema = RunCommand("mdb-schema '" + path + "' 2>/dev/null");
  EXPECT_NE(std::string::npos, schema.out.find("[titulo]\t\t\tText (100)")) << schema.out;
  CommandOutput exported = RunCommand("mdb-export '" + path + "' canciones");
  EXPECT_EQ(RenderLikeMdbExport(db, "canciones"), exported.out);
  bool have_reader = false, failed = false;
  auto rows = MdbReaderRows(path, "canciones", &have_reader, &failed);
  EXPECT_TRUE(have_reader) << "mdb-reader is missing: scripts/install-deps.sh installs it";
  EXPECT_FALSE(failed);
  EXPECT_EQ(size_t(kRows), rows.size());
}

TEST(CreateTable, InACopyOfAnAccessFileBesideItsTables) {
  std::string dir = ScratchDir("ddl_copy");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "copia.mdb");
  HostFileSystem fs;
  {
    auto db = OpenForWrite(fs, path);
    ExecuteStatement(fs, *db, kCreateSongs);
    FillSongs(fs, *db, 300);
    EXPECT_EQ("", FaultText(*db));
  }
  ACT_REQUIRE_TOOL("mdb-tables");
  CommandOutput tables = RunCommand("mdb-tables -1 '" + path + "'");
  EXPECT_NE(std::string::npos, tables.out.find("canciones")) << tables.out;
  EXPECT_NE(std::string::npos, tables.out.find("Table1")) << tables.out;
  EXPECT_EQ(300, MdbExportRowCount(path, "canciones"));
}

TEST(CreateTable, RefusesWhatItCannotStore) {
  std::string dir = ScratchDir("ddl_refuse");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  std::vector<uint8_t> before = ReadHostFile(path);
  auto db = OpenForWrite(fs, path);
  auto number = [&](const std::string& sql) {
    try {
      ExecuteStatement(fs, *db, sql);
    } catch (const act::Error& e) {
      return e.number();
    }
    return 0;
  };
  // The parser already refuses a column named twice.
  EXPECT_EQ(3292, number("CREATE TABLE t (a LONG, A TEXT(5))"));
  EXPECT_EQ(kJetTooFewParameters, number("CREATE TABLE t (a LONG, CONSTRAINT pk PRIMARY KEY (b))"));
  db.reset();
  EXPECT_EQ(before, ReadHostFile(path));
}

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalTime time) : time_(time) {}
  LocalTime Now() const override { return time_; }

 private:
  LocalTime time_;
};

TEST(CreateTable, CatalogRowIsDatedByTheDatabasesClock) {
  HostFileSystem fs;
  jet::Database db(std::make_unique<jet::MemoryFile>(jet::EmptyJet3Template(), "fechada.mdb"));
  const FixedClock clock({2024, 5, 1, 10, 30, 15});
  db.UseClock(clock);
  ExecuteStatement(fs, db, "CREATE TABLE fechada (a LONG)");

  // 2024-05-01 is day 45,413 counted from 1899-12-30.
  const double expected = 45413 + (10 * 3600 + 30 * 60 + 15) / 86400.0;
  auto objects = db.Table("MSysObjects");
  jet::TableScan scan(db.pager(), db.format(), *objects);
  int rows = 0;
  while (scan.Next()) {
    if (!(scan.Get(size_t(objects->ColumnIndex("Name"))) == Value::Text("fechada"))) continue;
    ++rows;
    for (const char* column : {"DateCreate", "DateUpdate"}) {
      const Value date = scan.Get(size_t(objects->ColumnIndex(column)));
      ASSERT_EQ(Value::Kind::kDateTime, date.kind()) << column;
      EXPECT_NEAR(expected, date.real(), 0.5 / 86400) << column;
    }
  }
  EXPECT_EQ(1, rows);
}

}  // namespace
}  // namespace act::db::testing
