// Splitting scripts into statements.
#include <gtest/gtest.h>

#include "db/sql/script.h"

namespace act::sql {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(SplitStatements, CutsAtSemicolonsOutsideQuotesAndBrackets) {
  EXPECT_EQ(SplitStatements("SELECT * FROM a; SELECT * FROM b"),
            (Pieces{"SELECT * FROM a", "SELECT * FROM b"}));
  EXPECT_EQ(SplitStatements("UPDATE t SET a = 'x;y' WHERE b = \"1;2\";\n"
                            "SELECT [a;b] FROM t;"),
            (Pieces{"UPDATE t SET a = 'x;y' WHERE b = \"1;2\"", "SELECT [a;b] FROM t"}));
  // Doubled quotes stay inside the string.
  EXPECT_EQ(SplitStatements("INSERT INTO t VALUES ('Don''t; Stop');INSERT INTO t VALUES (#2024-05-01#)"),
            (Pieces{"INSERT INTO t VALUES ('Don''t; Stop')", "INSERT INTO t VALUES (#2024-05-01#)"}));
  // Quotes inside a #date# open nothing.
  EXPECT_EQ(SplitStatements("SELECT * FROM t WHERE d = #2024'05#; X"),
            (Pieces{"SELECT * FROM t WHERE d = #2024'05#", "X"}));
  // A ' inside brackets or a ] inside quotes changes nothing.
  EXPECT_EQ(SplitStatements("SELECT [it's] FROM t; SELECT * FROM t WHERE a = ']'; X"),
            (Pieces{"SELECT [it's] FROM t", "SELECT * FROM t WHERE a = ']'", "X"}));
}

TEST(SplitStatements, DropsEmptyPiecesAndTrims) {
  EXPECT_EQ(SplitStatements(""), Pieces{});
  EXPECT_EQ(SplitStatements(" ;;\n\t; "), Pieces{});
  EXPECT_EQ(SplitStatements("\r\n  SELECT 1  \r\n;\r\n"), (Pieces{"SELECT 1"}));
}

TEST(SplitStatements, UnterminatedStringRunsToTheEnd) {
  EXPECT_EQ(SplitStatements("SELECT 'a; SELECT b; c"), (Pieces{"SELECT 'a; SELECT b; c"}));
  EXPECT_EQ(SplitStatements("a; SELECT [x; y"), (Pieces{"a", "SELECT [x; y"}));
  EXPECT_EQ(SplitStatements("a; SELECT #1/1/2000; y"), (Pieces{"a", "SELECT #1/1/2000; y"}));
}

}  // namespace
}  // namespace act::sql
