// jetsql's CSV of every table of every sample database against mdb-export's
// output for the same table, byte for byte; its table list against
// mdb-tables; its column types against mdb-schema. Skipped where mdbtools is
// not installed (under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

#include "db/sql/parser.h"
#include "db/sql/type_names.h"
#include "tests/db/host_file.h"
#include "tests/jetsql/tool_util.h"
#include "tests/support/peer_tools.h"

namespace act::jetsql {
namespace {

using db::testing::CommandOutput;
using db::testing::HaveCommand;
using db::testing::RunCommand;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// mdb-export turns the five bytes that Windows-1252 leaves undefined into
// '?'; Windows (and our engine) maps them to U+0081, U+008D, U+008F, U+0090
// and U+009D. Only that difference is forgiven.
std::string AsMdbExportShowsIt(std::string text) {
  for (const char* c1 : {"\xC2\x81", "\xC2\x8D", "\xC2\x8F", "\xC2\x90", "\xC2\x9D"}) {
    for (std::size_t at; (at = text.find(c1)) != std::string::npos;) text.replace(at, 2, "?");
  }
  return text;
}

// The first line where two outputs differ, or "" when they are equal.
std::string FirstDifference(const std::string& ours, const std::string& theirs) {
  if (ours == theirs) return "";
  std::vector<std::string> a = Lines(ours), b = Lines(theirs);
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    std::string x = i < a.size() ? a[i] : "<none>", y = i < b.size() ? b[i] : "<none>";
    if (x != y) return "line " + std::to_string(i + 1) + "\n ours:   " + x + "\n theirs: " + y;
  }
  return "the line ends differ";
}

class ExportCompare : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ACT_REQUIRE_TOOL("mdb-export");
  }
};

TEST_P(ExportCompare, EveryTableAsMdbExportPrintsIt) {
  std::string path = db::testing::SamplePath(GetParam());
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  Outcome tables = RunTool(*fs, {path, "--tables"});
  ASSERT_EQ(tables.status, 0) << tables.err;
  CommandOutput listed = RunCommand("mdb-tables -1 " + Quote(path));
  ASSERT_TRUE(listed.ok);
  std::vector<std::string> ours = Lines(tables.out), theirs = Lines(listed.out);
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  EXPECT_EQ(ours, theirs);

  for (const std::string& table : Lines(tables.out)) {
    Outcome csv = RunTool(*fs, {path, "SELECT * FROM [" + table + "]"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    CommandOutput expected = RunCommand("mdb-export " + Quote(path) + " " + Quote(table));
    ASSERT_TRUE(expected.ok) << table;
    EXPECT_EQ(FirstDifference(AsMdbExportShowsIt(csv.out), expected.out), "")
        << GetParam() << " table " << table;
  }
}

// mdb-schema's type words, as jetsql's DDL spells them.
std::string FromMdbSchemaType(const std::string& word, const std::string& size) {
  static const std::map<std::string, std::string> kTypes = {
      {"Boolean", "BIT"},       {"Byte", "BYTE"},         {"Integer", "SHORT"},
      {"Long Integer", "LONG"}, {"Currency", "CURRENCY"}, {"Single", "SINGLE"},
      {"Double", "DOUBLE"},     {"DateTime", "DATETIME"}, {"Text", "TEXT"},
      {"Memo/Hyperlink", "MEMO"}, {"OLE", "LONGBINARY"}, {"Replication ID", "GUID"},
  };
  auto it = kTypes.find(word);
  std::string type = it == kTypes.end() ? "?" + word : it->second;
  return type == "TEXT" ? type + "(" + size + ")" : type;
}

TEST_P(ExportCompare, SchemaTypesAsMdbSchemaSeesThem) {
  std::string path = db::testing::SamplePath(GetParam());
  std::unique_ptr<FileSystem> fs = NewPlatformFileSystem();
  Outcome schema = RunTool(*fs, {path, "--schema"});
  ASSERT_EQ(schema.status, 0) << schema.err;
  CommandOutput theirs = RunCommand("mdb-schema " + Quote(path) + " access");
  ASSERT_TRUE(theirs.ok);

  // "table.column TYPE" for every column, from both.
  std::vector<std::string> expected, ours;
  std::string table;
  std::regex create_line(R"(^CREATE TABLE \[(.*)\]$)");
  std::regex column_line(R"(^\t\[(.*)\]\t+([A-Za-z/ ]+?)(?: \((\d+)\))?(?: NOT NULL)?,? *$)");
  for (const std::string& line : Lines(theirs.out)) {
    std::smatch m;
    if (std::regex_match(line, m, create_line)) table = m[1];
    else if (std::regex_match(line, m, column_line))
      expected.push_back(table + "." + std::string(m[1]) + " " + FromMdbSchemaType(m[2], m[3]));
  }
  for (const std::string& line : Lines(schema.out)) {
    if (line.rfind("CREATE TABLE", 0) != 0) continue;
    auto create = std::get<sql::CreateTableStatement>(sql::Parse(line));
    for (const sql::ColumnDef& c : create.columns) {
      std::string type = sql::DdlTypeName(c.type);
      if (c.type == sql::ColumnType::kCounter) type = "LONG";  // mdb-schema says Long Integer
      if (c.type == sql::ColumnType::kText) type += "(" + std::to_string(c.size) + ")";
      ours.push_back(create.table + "." + c.name + " " + type);
    }
  }
  std::sort(expected.begin(), expected.end());
  std::sort(ours.begin(), ours.end());
  EXPECT_FALSE(expected.empty() && !ours.empty());
  EXPECT_EQ(ours, expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, ExportCompare,
                         ::testing::ValuesIn(db::testing::SampleDatabases()));

}  // namespace
}  // namespace act::jetsql
