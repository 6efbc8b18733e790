// Refusals: Jet's error numbers, the statement quoted, the position shown,
// and hostile input that must neither crash nor recurse without bound.
#include <gtest/gtest.h>

#include "db/sql/sql_errors.h"
#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST(Errors, NumbersByClause) {
  const struct { const char* sql; int number; } cases[] = {
      {"TRUNCATE TABLE t", 3129},
      {"", 3129},
      {";", 3129},
      {"DELETE t", 3130},
      {"DELETE a.* FROM b", 3130},
      {"DELETE FROM t WHERE", 3075},
      {"DROP t", 3295},
      {"DROP INDEX i", 3295},
      {"ALTER TABLE t", 3293},
      {"ALTER TABLE t ADD c WIDGET", 3259},
      {"ALTER TABLE t ADD c TEXT PRIMARY KEY", 3293},
      {"SELECT FROM t", 3141},
      {"SELECT a b FROM t", 3141},
      {"SELECT a, FROM t", 3141},
      {"SELECT *", 3141},
      {"SELECT * FROM", 3131},
      {"SELECT * FROM 't'", 3131},
      {"SELECT * FROM t WHERE", 3075},
      {"SELECT * FROM t WHERE a = ", 3075},
      {"SELECT * FROM t WHERE a = 1 b = 2", 3075},
      {"SELECT * FROM t WHERE (a = 1", 3075},
      {"SELECT * FROM t WHERE a IN ()", 3075},
      {"SELECT * FROM t WHERE a IS 1", 3075},
      {"SELECT * FROM t WHERE a = 'open", 3075},
      {"SELECT * FROM t WHERE a = #2024-02-30#", 3075},
      {"SELECT * FROM t WHERE a = #2024-02-01", 3075},
      {"SELECT * FROM t WHERE a = 1e", 3075},
      {"SELECT * FROM t WHERE a = 0x123", 3075},
      {"SELECT * FROM t WHERE a = 1 ORDER a", 3138},
      {"SELECT * FROM t ORDER BY", 3138},
      {"SELECT * FROM t ORDER BY a,", 3138},
      {"SELECT * FROM t x y", 3142},  // x is an alias
      {"SELECT * FROM t LEFT u ON t.a = u.a", 3135},
      {"SELECT * FROM t INNER JOIN u WHERE t.a = u.a", 3135},
      {"SELECT * FROM t; SELECT * FROM u", 3142},
      {"SELECT * FROM t WHERE a = 1)", 3075},
      {"SELECT * FROM [t", 3131},
      {"SELECT * FROM []", 3131},
      {"SELECT * FROM t WHERE [a = 1", 3075},
      {"UPDATE t SET a = 'x", 3144},
      {"INSERT INTO t VALUES (#1/1/2000)", 3134},
      {"CREATE TABLE t (a LONG, b TEXT(10) ?)", 3292},
      {"SELECT 'x FROM t", 3141},
      {"UPDATE t a = 1", 3144},
      {"UPDATE t SET a = ", 3144},
      {"UPDATE t SET a = 1,", 3144},
      {"UPDATE SET a = 1", 3144},
      {"UPDATE t SET a = 1 WHERE b = 2 ORDER BY c", 3075},
      {"INSERT t VALUES (1)", 3134},
      {"INSERT INTO t", 3134},
      {"INSERT INTO t VALUES 1", 3134},
      {"INSERT INTO t VALUES ()", 3134},
      {"INSERT INTO t VALUE (1)", 3134},
      {"INSERT INTO t IN c:\\x.mdb SELECT * FROM t", 3134},
      {"INSERT INTO t IN 'a' IN 'b' SELECT * FROM t", 3134},
      {"INSERT INTO t (a, b) VALUES (1)", 3346},
      {"INSERT INTO t (a) VALUES (1, 2)", 3346},
      {"SELECT TOP 0 * FROM t", 3141},
      {"SELECT COUNT(a, b) FROM t", 3141},
      {"SELECT SUM(*) FROM t", 3141},
      {"SELECT a AS FROM t", 3141},
      {"SELECT * FROM t GROUP a", 3132},
      {"SELECT a FROM t GROUP BY", 3132},
      {"SELECT * FROM t WHERE a LIKE", 3075},
      {"SELECT * FROM t WHERE a BETWEEN 1", 3075},
      {"SELECT * FROM t WHERE a = 1 HAVING", 3075},
  };
  for (const auto& c : cases) {
    Error e = ParseError(c.sql);
    EXPECT_EQ(e.number(), c.number) << c.sql << "\n" << e.what();
    EXPECT_EQ(e.text(), SqlErrorText(c.number)) << c.sql;
  }
}

TEST(Errors, MessageQuotesTheStatementAndPointsAtTheFault) {
  const std::string sql = "INSERT INTO canciones VALUE (1)";
  Error e = ParseError(sql);
  EXPECT_TRUE(Contains(e.what(), "\"" + sql + "\"")) << e.what();
  EXPECT_TRUE(Contains(e.what(), "at character 23")) << e.what();
  EXPECT_TRUE(Contains(e.what(), "'VALUE'")) << e.what();
  EXPECT_TRUE(Contains(e.what(), "Syntax error in INSERT INTO statement")) << e.what();

  // Positions count characters, not bytes.
  Error accented = ParseError("SELECT canción FROM año WHERE ñ ?");
  EXPECT_TRUE(Contains(accented.what(), "at character 33")) << accented.what();

  Error at_end = ParseError("UPDATE configuracion SET valor =  WHERE elemento='x'");
  EXPECT_TRUE(Contains(at_end.what(), "'WHERE'")) << at_end.what();
  Error empty_rest = ParseError("SELECT * FROM t WHERE");
  EXPECT_TRUE(Contains(empty_rest.what(), "the end of the statement")) << empty_rest.what();
}

TEST(Errors, LongStatementsAreQuotedAroundTheFault) {
  std::string sql = "SELECT * FROM t WHERE a IN (";
  for (int i = 0; i < 2000; ++i) sql += "'é', ";
  sql += "'x' 'y')";
  Error e = ParseError(sql);
  EXPECT_EQ(e.number(), 3075);
  EXPECT_LT(std::string(e.what()).size(), 1000u);
  EXPECT_TRUE(Contains(e.what(), "'x' 'y')\"")) << e.what();
  EXPECT_TRUE(Contains(e.what(), "\"...")) << e.what();
}

TEST(Errors, TextThatIsNotUtf8) {
  for (std::string bad : {std::string("SELECT * FROM t WHERE a = '\xE9'"),
                          std::string("SELECT * FROM t\xC0\xAF"),
                          std::string("SELECT * FROM [\xED\xA0\x80]")}) {
    Error e = ParseError(bad);
    EXPECT_EQ(e.number(), 3075);
    EXPECT_TRUE(Contains(e.what(), "not UTF-8")) << e.what();
    EXPECT_FALSE(Contains(e.what(), "\xE9"));
  }
}

TEST(Errors, NestingIsLimited) {
  auto nested = [](int depth, const char* open, const char* close) {
    std::string condition;
    for (int i = 0; i < depth; ++i) condition += open;
    condition += "a = 1";
    for (int i = 0; i < depth; ++i) condition += close;
    return "SELECT * FROM t WHERE " + condition;
  };
  EXPECT_NO_THROW(Parse(nested(kMaxExpressionDepth, "(", ")")));
  EXPECT_EQ(ParseError(nested(kMaxExpressionDepth + 1, "(", ")")).number(), 3360);
  EXPECT_NO_THROW(Parse(nested(kMaxExpressionDepth, "NOT ", "")));
  EXPECT_EQ(ParseError(nested(kMaxExpressionDepth + 1, "NOT ", "")).number(), 3360);
  // Far beyond the limit: refused quickly, without exhausting the stack.
  EXPECT_EQ(ParseError(nested(1000000, "(", ")")).number(), 3360);
  EXPECT_EQ(ParseError(nested(1000000, "NOT (", ")")).number(), 3360);
}

TEST(Errors, LongFlatChainsAreNotNesting) {
  std::string sql = "SELECT * FROM t WHERE a = 0";
  for (int i = 1; i < 100000; ++i) sql += (i % 2 ? " AND a = " : " OR a = ") + std::to_string(i);
  auto s = ParseAs<SelectStatement>(sql);
  ASSERT_TRUE(s.where);
  EXPECT_EQ(s.where->kind, Expr::Kind::kOr);
  EXPECT_EQ(s.where->operands.size(), 50000u);
}

TEST(Errors, HostileBytesNeverCrash) {
  const std::string samples[] = {
      std::string("\0", 1), std::string("SELECT\0* FROM t", 15), "'", "\"", "[", "#", "0x",
      "SELECT * FROM t WHERE a = ''''", "((((((", "))))", "- - - 1", "INSERT INTO t VALUES (- -1)",
      "SELECT * FROM t WHERE a NOT NOT IN (1)", "CREATE TABLE t (a TEXT(99999999999999999999))",
      "CREATE", "CREATE UNIQUE", "INSERT INTO", "UPDATE", "SELECT * FROM t ORDER BY a DESC DESC",
  };
  for (const std::string& sql : samples) {
    try {
      Parse(sql);
    } catch (const Error& e) {
      EXPECT_GE(e.number(), 3000) << e.what();
    }
  }
}

}  // namespace
}  // namespace act::sql
