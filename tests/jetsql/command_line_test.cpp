// jetsql's command line.
#include <gtest/gtest.h>

#include <sstream>

#include "db/sql/parser.h"
#include "tools/jetsql/command_line.h"

namespace act::jetsql {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, FileThenStatements) {
  Options o = ParseCommandLine({"datos.mdb", "SELECT * FROM a", "UPDATE a SET b = 1"});
  EXPECT_EQ(o.file, "datos.mdb");
  EXPECT_EQ(o.statements, (Args{"SELECT * FROM a", "UPDATE a SET b = 1"}));
  EXPECT_FALSE(ReadsStandardInput(o));
  EXPECT_FALSE(o.json || o.create || o.list_tables || o.schema || o.check || o.help);
}

TEST(CommandLine, OptionsAnywhereAndDoubleDash) {
  Options o = ParseCommandLine({"--json", "x.mdb", "SELECT 1", "--", "--create", "-x"});
  EXPECT_TRUE(o.json);
  EXPECT_FALSE(o.create);
  EXPECT_EQ(o.statements, (Args{"SELECT 1", "--create", "-x"}));
  Options c = ParseCommandLine({"--create", "nuevo.mdb"});
  EXPECT_TRUE(c.create);
  EXPECT_TRUE(ReadsStandardInput(c));
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "--tables"}).list_tables);
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "--schema"}).schema);
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "--check"}).check);
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "--keep-going", "UPDATE t SET a = 1"}).keep_going);
  EXPECT_FALSE(o.keep_going);
  EXPECT_FALSE(ReadsStandardInput(ParseCommandLine({"x.mdb", "--schema"})));
  Options compact = ParseCommandLine({"--compact", "x.mdb", "y.mdb"});
  EXPECT_TRUE(compact.compact);
  EXPECT_EQ(compact.file, "x.mdb");
  EXPECT_EQ(compact.target, "y.mdb");
  EXPECT_FALSE(ReadsStandardInput(compact));
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "--repair"}).repair);
  EXPECT_FALSE(ReadsStandardInput(ParseCommandLine({"--repair", "x.mdb"})));
  // A lone "-" is an argument, not an option.
  EXPECT_EQ(ParseCommandLine({"-"}).file, "-");
}

TEST(CommandLine, Help) {
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"x.mdb", "-h"}).help);
  std::string help = HelpText();
  for (const char* topic : {"--create", "--tables", "--schema", "--check", "--compact", "--repair",
                            "--json", "--keep-going", "all or nothing", "3036", "3045", "mdb-export",
                            "INSERT INTO table", "CREATE INDEX", "DELETE", "DROP TABLE",
                            "DROP INDEX", "ALTER TABLE", "Exit status", "UTF-8"})
    EXPECT_NE(help.find(topic), std::string::npos) << topic;
  // The examples of the statements that change rows and design (lines
  // indented by six) are statements the parser takes.
  std::istringstream lines(help);
  int examples = 0;
  for (std::string line; std::getline(lines, line);) {
    bool example = false;
    for (const char* keyword : {"      DELETE ", "      DROP ", "      ALTER "})
      example |= line.rfind(keyword, 0) == 0;
    if (!example) continue;
    EXPECT_NO_THROW(sql::Parse(line)) << line;
    ++examples;
  }
  EXPECT_GE(examples, 5);
}

TEST(CommandLine, Refusals) {
  for (const Args& args : {Args{}, Args{"--json"}, Args{"--bogus", "x.mdb"}, Args{""},
                           Args{"x.mdb", "--tables", "--schema"},
                           Args{"x.mdb", "--tables", "SELECT * FROM a"},
                           Args{"--create", "x.mdb", "--check"}, Args{"--compact", "x.mdb"},
                           Args{"--compact", "x.mdb", "y.mdb", "z.mdb"},
                           Args{"--repair", "x.mdb", "SELECT * FROM a"},
                           Args{"--repair", "--compact", "x.mdb", "y.mdb"}}) {
    EXPECT_THROW(ParseCommandLine(args), UsageError) << ::testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace act::jetsql
