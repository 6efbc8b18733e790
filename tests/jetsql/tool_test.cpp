// jetsql run in-process on copies of the sample databases.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "db/exec/value_order.h"
#include "db/jet/table/database.h"
#include "db/jet/index/index_page.h"
#include "db/sql/parser.h"
#include "db/sql/printer.h"
#include "db/sql/script.h"
#include "tests/db/host_file.h"
#include "tests/jetsql/tool_util.h"

namespace act::jetsql {
namespace {

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Tool, ListsUserTables) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {db.path(), "--tables"});
  EXPECT_EQ(o.status, 0) << o.err;
  // The sample holds these four tables (mdb-tables agrees) and Jet's system
  // tables, which are not listed.
  EXPECT_EQ(o.out, "Table1\nTable2\nTable3\nTable4\n");
}

TEST(Tool, SelectPrintsCsvWithHeader) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {db.path(), "SELECT A, E, [G] FROM Table1 WHERE C = 2",
                                "select b from table1 where a = 'A'"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "A,E,G\n\"abcdefg\",333333333,\"09/21/74 00:00:00\"\nB\n\"b\"\n");
  EXPECT_EQ(o.err, "");
}

TEST(Tool, SelectAsJson) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {"--json", db.path(), "SELECT * FROM Table1 WHERE A <> 'a'"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "{\"A\":\"abcdefg\",\"B\":\"hijklmnop\",\"C\":2,\"D\":222,\"E\":333333333,"
            "\"F\":444.555,\"G\":\"1974-09-21T00:00:00\",\"H\":3.5,\"I\":true}\n");
}

TEST(Tool, ReadsAScriptFromStandardInput) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {db.path()},
                      "SELECT A FROM Table1 WHERE C = 0;\n\n"
                      "  select [B] from [Table1] where A = 'abc;defg' OR A = 'abcdefg' ;\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "A\n\"a\"\nB\n\"hijklmnop\"\n");
}

TEST(Tool, OrderBySortsTheWholeResult) {
  SampleCopy db("jet3/compIndexTestV1997.mdb");
  Outcome plain = RunTool(db.fs(), {db.path(), "SELECT * FROM Table1"});
  Outcome sorted = RunTool(db.fs(), {db.path(), "SELECT * FROM Table1 ORDER BY CD_AGENTE DESC"});
  Outcome by_text = RunTool(db.fs(), {db.path(), "SELECT CD_AGENTE FROM Table1 ORDER BY RS_AGENTE, CD_AGENTE"});
  ASSERT_EQ(sorted.status, 0) << sorted.err;
  ASSERT_EQ(by_text.status, 0) << by_text.err;
  std::vector<std::string> a = Lines(plain.out), b = Lines(sorted.out);
  ASSERT_GT(a.size(), 100u);
  EXPECT_EQ(a[0], b[0]);  // the header
  EXPECT_NE(a, b);
  // Descending: the largest first, Nulls (printed as nothing) last.
  std::vector<long> keys;
  for (std::size_t i = 1; i < b.size(); ++i) {
    std::string key = b[i].substr(0, b[i].find(','));
    keys.push_back(key.empty() ? std::numeric_limits<long>::min() : std::stol(key));
  }
  EXPECT_TRUE(std::is_sorted(keys.rbegin(), keys.rend()));
  std::sort(a.begin() + 1, a.end());
  std::sort(b.begin() + 1, b.end());
  EXPECT_EQ(a, b);  // the same rows
  // Sorting by a column that is not shown: only the shown one is printed.
  EXPECT_EQ(Lines(by_text.out)[0], "CD_AGENTE");
  EXPECT_EQ(Lines(by_text.out).size(), Lines(plain.out).size());
}

TEST(Tool, OrderRanksNullFirstAndTextWithoutCase) {
  using db::Value;
  using db::exec::CompareForOrder;
  EXPECT_LT(CompareForOrder(Value::Null(), Value::Long(-5)), 0);
  EXPECT_EQ(CompareForOrder(Value::Null(), Value::Null()), 0);
  EXPECT_EQ(CompareForOrder(Value::Text("abc"), Value::Text("ABC")), 0);
  EXPECT_LT(CompareForOrder(Value::Text("abc"), Value::Text("ABD")), 0);
  EXPECT_GT(CompareForOrder(Value::Double(2.5), Value::Long(2)), 0);
  EXPECT_LT(CompareForOrder(Value::Currency(-1), Value::Currency(0)), 0);
}

TEST(Tool, FailuresNameTheFileAndQuoteTheStatement) {
  SampleCopy db("jet3/testV1997.mdb");
  const struct { const char* statement; const char* number; } cases[] = {
      {"SELECT * FROM Table1 WHERE", "error 3075"},
      {"SELECT * FROM Nada", "error 3078"},
      {"SELECT Nada FROM Table1", "error 3061"},
      {"SELECT * FROM Table1 ORDER BY Nada", "error 3061"},
      {"TRUNCATE TABLE Table1", "error 3129"},
      {"DROP TABLE Nada", "error 3376"},
  };
  for (const auto& c : cases) {
    // The statement before the failing one runs; the one after it does not.
    Outcome o = RunTool(db.fs(), {db.path(), "SELECT C FROM Table1 WHERE C = 2", c.statement,
                                  "SELECT D FROM Table1"});
    EXPECT_EQ(o.status, 1) << c.statement;
    EXPECT_EQ(o.out, "C\n2\n") << c.statement;
    EXPECT_TRUE(Contains(o.err, db.path())) << o.err;
    EXPECT_TRUE(Contains(o.err, std::string("\"") + c.statement + "\"")) << o.err;
    EXPECT_TRUE(Contains(o.err, c.number)) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
  }
  Outcome missing = RunTool(db.fs(), {db.drive().Path("\\nada.mdb"), "SELECT * FROM a"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "error 3024")) << missing.err;
  EXPECT_TRUE(Contains(missing.err, db.drive().Path("\\nada.mdb"))) << missing.err;
  EXPECT_TRUE(db.Unchanged());
}

TEST(Tool, ReadingNeverChangesTheFile) {
  SampleCopy db("jet3/indexTestV1997.mdb");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{db.path(), "--tables"}, {db.path(), "--schema"},
        {db.path(), "--check"}, {db.path(), "SELECT * FROM Table1"},
        {db.path(), "--json", "SELECT * FROM Table2 ORDER BY data"}}) {
    RunTool(db.fs(), args);
    EXPECT_TRUE(db.Unchanged()) << args[1];
  }
}

TEST(Tool, UpdatesReachTheEngine) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {db.path(), "UPDATE Table1 SET B = 'nuevo' WHERE A = 'a'",
                                "SELECT B FROM Table1 WHERE A = 'a'"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "B\n\"nuevo\"\n");
  EXPECT_FALSE(db.Unchanged());
  Outcome check = RunTool(db.fs(), {db.path(), "--check"});
  EXPECT_EQ(check.status, 0) << check.out;
}

TEST(Tool, CreateNeverOverwrites) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {"--create", db.path(), "CREATE TABLE t (a LONG)"});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(Contains(o.err, "error 58")) << o.err;
  EXPECT_TRUE(Contains(o.err, db.path())) << o.err;
  EXPECT_TRUE(db.Unchanged());

  std::string fresh = db.drive().Path("\\nuevo.mdb");
  Outcome made = RunTool(db.fs(), {"--create", fresh, "CREATE TABLE t (a LONG)"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(RunTool(db.fs(), {fresh, "--tables"}).out, "t\n");
  EXPECT_EQ(RunTool(db.fs(), {fresh, "--check"}).status, 0);
}

TEST(Tool, SchemaParsesBackAsItself) {
  for (const char* sample : {"jet3/testV1997.mdb", "jet3/test2V1997.mdb", "jet3/indexTestV1997.mdb",
                             "jet3/compIndexTestV1997.mdb", "jet3/overflowTestV1997.mdb",
                             "jet3/delTestV1997.mdb", "jet3/testIndexCodesV1997.mdb",
                             "jet4/indexTestV2000.mdb", "jet4/compIndexTestV2000.mdb",
                             "jet4/emptyV2000.mdb"}) {
    SampleCopy db(sample);
    Outcome o = RunTool(db.fs(), {db.path(), "--schema"});
    ASSERT_EQ(o.status, 0) << sample << o.err;
    // What follows starts a line of its own.
    EXPECT_TRUE(o.out.empty() || o.out.back() == '\n') << sample;
    Outcome tables = RunTool(db.fs(), {db.path(), "--tables"});
    std::size_t creates = 0;
    for (std::string_view statement : sql::SplitStatements(o.out)) {
      sql::Statement parsed = sql::Parse(statement);
      EXPECT_EQ(sql::ToSql(parsed), statement) << sample;
      creates += std::holds_alternative<sql::CreateTableStatement>(parsed);
    }
    EXPECT_EQ(creates, Lines(tables.out).size()) << sample;
  }
}

TEST(Tool, SchemaShowsIndexes) {
  SampleCopy db("jet3/indexTestV1997.mdb");
  Outcome o = RunTool(db.fs(), {db.path(), "--schema"});
  EXPECT_TRUE(Contains(o.out, "CREATE INDEX [PrimaryKey] ON [Table1] ([id]) WITH PRIMARY;")) << o.out;
}

TEST(Tool, Help) {
  SampleCopy db("jet3/testV1997.mdb");
  Outcome o = RunTool(db.fs(), {"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Contains(o.out, "Usage:"));
}

// Every file Access wrote checks with no damage. What Access leaves until
// compaction is a note, and so are Jet 4 text keys, which the check cannot
// build; the last line says what was checked.
TEST(Tool, CheckPassesTheSamples) {
  for (const std::string& sample : db::testing::SampleDatabases()) {
    SampleCopy db(sample);
    Outcome o = RunTool(db.fs(), {db.path(), "--check"});
    EXPECT_EQ(o.status, 0) << sample << "\n" << o.out << o.err;
    std::vector<std::string> lines = Lines(o.out);
    ASSERT_FALSE(lines.empty()) << sample;
    EXPECT_EQ(lines.back().rfind("checked ", 0), 0u) << sample << ": " << lines.back();
    EXPECT_TRUE(Contains(lines.back(), " pages: no damage")) << sample << ": " << lines.back();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].rfind("not checked: ", 0) == 0 || lines[i].rfind("note: ", 0) == 0)
          << sample << ": " << lines[i];
    }
    if (sample.starts_with("jet3/")) {
      EXPECT_EQ(lines.size(), 1u) << o.out;
    }
  }
  // Deletes left eleven pages of this Access 2000 file owned by nobody.
  SampleCopy dates("jet4/DateTestDatabase.mdb");
  Outcome o = RunTool(dates.fs(), {dates.path(), "--check"});
  EXPECT_TRUE(Contains(o.out, "note: file: pages 53-63 belong to nothing and are not marked free"))
      << o.out;
  EXPECT_TRUE(Contains(o.out, "\nchecked 11 tables, 167 rows, 18 indexes, 247 index entries, "
                              "67 pages: no damage; 11 pages recoverable by compaction\n"))
      << o.out;
}

TEST(Tool, CheckReportsAWrongRowCount) {
  SampleCopy db("jet3/indexTestV1997.mdb");
  // The row count stored in Table1's definition, one too high.
  uint64_t at = 0;
  {
    db::jet::Database jet(db.fs().OpenRandomAccess(db.path(), false));
    at = uint64_t(jet.Table("Table1")->page) * jet.format().page_size + jet.format().tdef_rows;
  }
  std::vector<uint8_t> bytes = db.fs().ReadFileBytes(db.path());
  ASSERT_LT(at + 4, bytes.size());
  bytes[at] = static_cast<uint8_t>(bytes[at] + 1);
  db.fs().WriteFileBytes(db.path(), bytes);

  Outcome o = RunTool(db.fs(), {db.path(), "--check"});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(Contains(o.out, "Table1: TDEF counts")) << o.out;
  EXPECT_TRUE(Contains(o.out, "pages: damage, 1 finding\n")) << o.out;
  EXPECT_EQ(db.fs().ReadFileBytes(db.path()), bytes);  // checking changed nothing
}

TEST(Tool, CheckReportsAnIndexEntryChangedByHand) {
  SampleCopy db("jet3/indexTestV1997.mdb");
  // The first entry of the leftmost leaf of Table1's first index, found
  // through the reader; its last key byte is then changed in the file bytes.
  uint64_t at = 0;
  {
    db::jet::Database jet(db.fs().OpenRandomAccess(db.path(), false));
    auto table = jet.Table("Table1");
    ASSERT_FALSE(table->real_indexes.empty());
    db::jet::IndexPage page = db::jet::ReadIndexPage(jet.pager(), jet.format(),
                                                     table->real_indexes[0].root, table->page);
    while (!page.leaf)
      page = db::jet::ReadIndexPage(jet.pager(), jet.format(), page.entries.at(0).child, table->page);
    ASSERT_FALSE(page.entries.empty());
    const db::jet::KeyBytes& key = page.entries[0].key;
    ASSERT_FALSE(key.empty());
    std::vector<uint8_t> bytes = db.fs().ReadFileBytes(db.path());
    auto first = bytes.begin() + uint64_t(page.number) * jet.format().page_size;
    auto found = std::search(first, first + jet.format().page_size, key.begin(), key.end());
    ASSERT_NE(found, first + jet.format().page_size) << "key bytes not found on leaf page";
    at = uint64_t(found - bytes.begin()) + key.size() - 1;
  }
  std::vector<uint8_t> bytes = db.fs().ReadFileBytes(db.path());
  bytes[at] ^= 0x01;
  db.fs().WriteFileBytes(db.path(), bytes);

  Outcome o = RunTool(db.fs(), {db.path(), "--check"});
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_TRUE(Contains(o.out, "Table1: index")) << o.out;
  EXPECT_TRUE(Contains(o.out, "pages: damage, ")) << o.out;
  EXPECT_EQ(db.fs().ReadFileBytes(db.path()), bytes);
}

}  // namespace
}  // namespace act::jetsql
