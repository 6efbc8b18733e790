// The DAO-shaped interface over the sample databases: the operations and
// statements the database carry-over relies on, and its refusals.
#include <gtest/gtest.h>

#include "db/dao/dao.h"
#include "db/errors.h"
#include "tests/db/host_file.h"

namespace act::db::testing {
namespace {

using dao::DBEngine;

class DaoTest : public ::testing::Test {
 protected:
  std::unique_ptr<dao::Database> Open(const std::string& sample) {
    return engine_.OpenDatabase(SamplePath(sample));
  }
  // The values of one field over the whole recordset, from MoveFirst.
  static std::vector<std::string> Column(dao::Recordset& rs, const std::string& field) {
    std::vector<std::string> out;
    if (rs.Eof()) return out;
    rs.MoveFirst();
    while (!rs.Eof()) {
      out.push_back(rs.Fields().Item(field).Value().ToText());
      rs.MoveNext();
    }
    return out;
  }
  static int ErrorOf(const std::function<void()>& f, std::string* what = nullptr) {
    try {
      f();
    } catch (const act::Error& e) {
      if (what) *what = e.what();
      return e.number();
    }
    return 0;
  }

  HostFileSystem fs_{HostFileSystem::kOnlyReads};
  DBEngine engine_{fs_};
};

TEST_F(DaoTest, SelectStarWalksRowsInTableOrder) {
  auto db = Open("jet3/testV1997.mdb");
  auto rs = db->OpenRecordset("SELECT * FROM Table1");
  EXPECT_EQ(1, rs->RecordCount());
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(9, rs->Fields().Count());
  rs->MoveFirst();
  EXPECT_EQ(Value::Text("a"), rs->Fields().Item("A").Value());
  EXPECT_EQ(Value::Text("b"), rs->Fields().Item("b").Value());  // names case-blind
  EXPECT_EQ(Value::Boolean(false), rs->Fields().Item("I").Value());
  rs->MoveNext();
  EXPECT_EQ(Value::Text("abcdefg"), rs->Fields().Item("A").Value());
  EXPECT_EQ(Value::Long(333333333), rs->Fields().Item("E").Value());
  EXPECT_EQ(Value::Currency(35000), rs->Fields().Item("H").Value());
  EXPECT_EQ(Value::DateTime(27293.0), rs->Fields().Item("G").Value());
  EXPECT_EQ(2, rs->RecordCount());
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(kJetNoCurrentRecord, ErrorOf([&] { rs->MoveNext(); }));
  EXPECT_EQ(kJetNoCurrentRecord, ErrorOf([&] { rs->Fields().Item("A"); }));
  EXPECT_EQ(kJetItemNotFound, ErrorOf([&] { rs->Fields().Item("nope"); }));
  rs->MoveFirst();
  EXPECT_EQ(Value::Text("a"), rs->Fields().Item("A").Value());
  rs->Close();
  EXPECT_EQ(kJetObjectClosed, ErrorOf([&] { rs->MoveFirst(); }));
  db->Close();
}

TEST_F(DaoTest, WhereComparesTextAsJetDoes) {
  auto db = Open("jet3/testIndexCodesV1997.mdb");
  // Letter case is ignored.
  auto rs = db->OpenRecordset("SELECT name,data FROM Table1 WHERE data='aadaa'");
  auto data = Column(*rs, "data");
  EXPECT_EQ(2u, data.size());
  for (const auto& d : data) EXPECT_TRUE(d == "AAdAA" || d == "AADAA") << d;
  EXPECT_EQ(kJetItemNotFound, ErrorOf([&] { rs->Fields().Item("valor"); }));

  // Control characters share one key; space and tab share another.
  rs = db->OpenRecordset("SELECT * FROM [Table1] WHERE [data] = \"AA\nAA\"");
  data = Column(*rs, "data");
  EXPECT_NE(data.end(), std::find(data.begin(), data.end(), "AA\x01" "AA"));
  EXPECT_NE(data.end(), std::find(data.begin(), data.end(), "AA\nAA"));
  EXPECT_EQ(data.end(), std::find(data.begin(), data.end(), "AA\tAA"));
  EXPECT_EQ(data.end(), std::find(data.begin(), data.end(), "AA AA"));

  // Doubled quotes inside literals; keywords in any case.
  rs = db->OpenRecordset("select data from Table1 where data = 'AA''AA'");
  EXPECT_EQ(std::vector<std::string>{"AA'AA"}, Column(*rs, "data"));

  // No row: RecordCount 0, EOF at once, MoveFirst fails.
  rs = db->OpenRecordset("SELECT name FROM Table1 WHERE name='no such row'");
  EXPECT_EQ(0, rs->RecordCount());
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(kJetNoCurrentRecord, ErrorOf([&] { rs->MoveFirst(); }));
}

TEST_F(DaoTest, NotInLeavesOutListedTexts) {
  auto db = Open("jet3/testV1997.mdb");
  auto rs = db->OpenRecordset("SELECT * FROM Table1 WHERE A NOT IN ('A','zzz')");
  EXPECT_EQ(std::vector<std::string>{"abcdefg"}, Column(*rs, "A"));
  rs = db->OpenRecordset("SELECT A FROM Table1 WHERE A IN ('ABCDEFG')");
  EXPECT_EQ(std::vector<std::string>{"abcdefg"}, Column(*rs, "A"));
}

TEST_F(DaoTest, NullIsNeitherInNorNotInAList) {
  // Table1 of testIndexCodesV1997 has 275 rows, one (row600) with Null data.
  auto db = Open("jet3/testIndexCodesV1997.mdb");
  auto rs = db->OpenRecordset("SELECT name FROM Table1");
  EXPECT_EQ(275u, Column(*rs, "name").size());
  EXPECT_EQ(275, rs->RecordCount());
  rs = db->OpenRecordset("SELECT name FROM Table1 WHERE data NOT IN ('no such text')");
  auto names = Column(*rs, "name");
  EXPECT_EQ(274u, names.size());
  EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "row600"));
  rs = db->OpenRecordset("SELECT name, data FROM Table1 WHERE data IS NULL");
  EXPECT_EQ(std::vector<std::string>{"row600"}, Column(*rs, "name"));
  rs->MoveFirst();
  EXPECT_TRUE(rs->Fields().Item("data").Value().is_null());
}

TEST_F(DaoTest, TableDefsListEveryTableInNameOrder) {
  auto db = Open("jet3/testV1997.mdb");
  auto& defs = db->TableDefs();
  defs.Refresh();
  std::vector<std::string> names;
  for (int16_t i = 0; i < defs.Count(); ++i) names.push_back(defs.Item(i).Name());
  std::vector<std::string> user;
  for (const auto& n : names) {
    if (n.rfind("MSys", 0) != 0) user.push_back(n);
  }
  EXPECT_EQ((std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}), user);
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "MSysObjects"));
  EXPECT_EQ(kJetItemNotFound, ErrorOf([&] { defs.Item(defs.Count()); }));
  EXPECT_EQ(kJetItemNotFound, ErrorOf([&] { defs.Item(-1); }));
}

TEST_F(DaoTest, RefusalsNameTheStatement) {
  auto db = Open("jet3/testV1997.mdb");
  std::string what;
  EXPECT_EQ(kJetTableNotFound, ErrorOf([&] { db->OpenRecordset("SELECT * FROM generos"); }, &what));
  EXPECT_NE(std::string::npos, what.find("generos")) << what;
  EXPECT_EQ(kJetTooFewParameters,
            ErrorOf([&] { db->OpenRecordset("SELECT valor FROM Table1"); }, &what));
  EXPECT_NE(std::string::npos, what.find("SELECT valor FROM Table1")) << what;
  EXPECT_EQ(kJetOperationNotSupported,
            ErrorOf([&] { db->OpenRecordset("SELECT * FROM Table1 WHERE A = 0x0102"); }));
  EXPECT_EQ(kJetInvalidOperation,
            ErrorOf([&] { db->OpenRecordset("UPDATE Table1 SET A = 'x'"); }));
  EXPECT_EQ(kJetTypeMismatch,
            ErrorOf([&] { db->OpenRecordset("SELECT * FROM Table1 WHERE A = 5"); }));
  const std::string update = "UPDATE Table1 SET A = 'x' WHERE B='b'";
  // The test file system opens even "writable" files read-only: the write
  // fails at the statement's flush and the shared original keeps its bytes.
  EXPECT_EQ(kErrPermissionDenied, ErrorOf([&] { db->Execute(update); }, &what));
  EXPECT_NE(std::string::npos, what.find(update)) << what;
  EXPECT_NE(0, ErrorOf([&] { db->OpenRecordset("SELEKT * FROM Table1"); }));
  db->Close();
  EXPECT_EQ(kJetObjectClosed, ErrorOf([&] { db->OpenRecordset("SELECT * FROM Table1"); }));
}

TEST_F(DaoTest, MissingFileAndForeignFile) {
  EXPECT_EQ(kJetFileNotFound, ErrorOf([&] { Open("jet3/missing.mdb"); }));
  EXPECT_EQ(kJetUnrecognizedFormat, ErrorOf([&] { Open("../README.md"); }));
}

TEST_F(DaoTest, ReadingChangesNoByteAndOpensReadOnly) {
  for (const std::string& sample : SampleDatabases()) {
    std::vector<uint8_t> before = ReadHostFile(SamplePath(sample));
    auto db = Open(sample);
    auto& defs = db->TableDefs();
    for (int16_t i = 0; i < defs.Count(); ++i) {
      auto rs = db->OpenRecordset("SELECT * FROM [" + defs.Item(i).Name() + "]");
      while (!rs->Eof()) {
        for (int16_t f = 0; f < rs->Fields().Count(); ++f) rs->Fields().Item(f).Value();
        rs->MoveNext();
      }
      rs->Close();
    }
    db->Close();
    EXPECT_EQ(before, ReadHostFile(SamplePath(sample))) << sample;
  }
  EXPECT_EQ(0, fs_.writable_opens);
  EXPECT_EQ(int(SampleDatabases().size()), fs_.opens);
}

}  // namespace
}  // namespace act::db::testing
