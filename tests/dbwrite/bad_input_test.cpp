// Statements the engine refuses: each fails with Jet's number, names the
// file and quotes the statement, and leaves both files readable and the
// source unchanged.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/exec/statement_executor.h"
#include "db/jet/check/consistency_check.h"
#include "tests/db/host_file.h"
#include "tests/dbwrite/write_fixture.h"

namespace act::db::testing {
namespace {

int ErrorOf(FileSystem& fs, jet::Database& db, const std::string& statement, std::string* text) {
  try {
    exec::ExecuteStatement(fs, db, statement);
  } catch (const act::Error& e) {
    *text = e.what();
    return e.number();
  }
  return 0;
}

TEST(BadInput, RefusedStatementsNameTheCauseAndChangeNothing) {
  std::string dir = ScratchDir("bad_input");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "datos.mdb");
  std::string readonly = CopySample("jet3/testV1997.mdb", dir, "datos.new.ro");
  HostFileSystem fs;
  std::vector<uint8_t> before = ReadHostFile(path);
  std::vector<uint8_t> readonly_before = ReadHostFile(readonly);
  auto db = OpenForWrite(fs, path);
  struct Case {
    std::string statement;
    int number;
    std::string mentions;
  } cases[] = {
      {"UPDATE nowhere SET a = 1", kJetTableNotFound, "nowhere"},
      {"UPDATE Table3 SET nocolumn = 1 WHERE a = 1", kJetTooFewParameters, "nocolumn"},
      {"UPDATE Table3 SET a = 1 WHERE ghost = 'x'", kJetTooFewParameters, "ghost"},
      {"UPDATE Table3 SET a = 'many' WHERE b = 'x'", kJetConversionError, "Table3"},
      {"INSERT INTO Table3 (a, zz) VALUES (1, 'x')", kJetUnknownFieldName, "zz"},
      {"INSERT INTO Table3 (a) VALUES ('uno')", kJetConversionError, "datos.mdb"},
      {"INSERT INTO Table3 (a) VALUES (99999999999)", kJetConversionError, "'a'"},
      {"INSERT INTO Table3 (b) VALUES ('" + std::string(51, 'x') + "')", kJetFieldTooSmall, "'b'"},
      {"INSERT INTO Table3 IN '" + dir + "/missing.mdb' SELECT * FROM Table3", kJetFileNotFound,
       "missing.mdb"},
      {"INSERT INTO Table3 IN '" + readonly + "' SELECT * FROM Table3", kJetFileReadOnly,
       "datos.new.ro"},
      {"INSERT INTO Nothing IN '" + path + "' SELECT * FROM Table3", kJetTableNotFound, "Nothing"},
      {"SELECT * FROM Table3", kJetOperationNotSupported, "SELECT * FROM Table3"},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(c.number, ErrorOf(fs, *db, c.statement, &text)) << c.statement << "\n" << text;
    EXPECT_NE(std::string::npos, text.find(c.mentions)) << text;
  }
  db.reset();
  // Refusals before any row was written leave the files as they were.
  EXPECT_EQ(before, ReadHostFile(path));
  EXPECT_EQ(readonly_before, ReadHostFile(readonly));
}

TEST(BadInput, FixedRowsStillConsistentAfterRefusedValues) {
  std::string dir = ScratchDir("bad_values");
  std::string path = CopySample("jet3/testV1997.mdb", dir, "datos.mdb");
  HostFileSystem fs;
  auto db = OpenForWrite(fs, path);
  std::string text;
  exec::ExecuteStatement(fs, *db, "INSERT INTO Table3 (a, b) VALUES (1, 'ok')");
  EXPECT_EQ(kJetFieldTooSmall,
            ErrorOf(fs, *db, "INSERT INTO Table3 (a, b) VALUES (2, '" + std::string(80, 'y') + "')",
                    &text));
  // A character Windows-1252 cannot hold.
  EXPECT_EQ(kJetConversionError,
            ErrorOf(fs, *db, "INSERT INTO Table3 (a, b) VALUES (3, 'snow ☃')", &text));
  db.reset();
  jet::Database reread(std::make_unique<HostFile>(path));
  auto faults = jet::Faults(jet::CheckDatabase(reread));
  EXPECT_TRUE(faults.empty()) << (faults.empty() ? "" : faults[0].what);
  EXPECT_EQ(reread.Table("Table3")->row_count, 1u + 0u + [&] {
    jet::Database fresh(std::make_unique<HostFile>(SamplePath("jet3/testV1997.mdb")));
    return fresh.Table("Table3")->row_count;
  }());
}

}  // namespace
}  // namespace act::db::testing
