// Printing statements back to text.
#include <gtest/gtest.h>

#include "db/sql/printer.h"
#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

std::string Reprint(const std::string& sql) { return ToSql(Parse(sql)); }

TEST(Printer, CanonicalForms) {
  EXPECT_EQ(Reprint("Insert INTO canciones IN 'c:\\zentaroDeck_NEW\\datos.new' SELECT * FROM canciones"),
            "INSERT INTO [canciones] IN 'c:\\zentaroDeck_NEW\\datos.new' SELECT * FROM [canciones]");
  EXPECT_EQ(Reprint("select a,b from t where a not in ('x','Don''t') and b is not null order by a desc"),
            "SELECT [a], [b] FROM [t] WHERE [a] NOT IN ('x', 'Don''t') AND [b] IS NOT NULL "
            "ORDER BY [a] DESC");
  EXPECT_EQ(Reprint("UPDATE configuracion SET valor = -5, v = NULL WHERE elemento='x'"),
            "UPDATE [configuracion] SET [valor] = -5, [v] = NULL WHERE [elemento] = 'x'");
  EXPECT_EQ(Reprint("insert into t (a) values (#5/1/2024 1:02 PM#)"),
            "INSERT INTO [t] ([a]) VALUES (#2024-05-01 13:02:00#)");
  EXPECT_EQ(Reprint("INSERT INTO t VALUES (TRUE, FALSE, 1.50, 1e3, 0xab, \"q\")"),
            "INSERT INTO [t] VALUES (TRUE, FALSE, 1.50, 1e3, 0xAB, 'q')");
  EXPECT_EQ(Reprint("create table t (a varchar, b int not null primary key, c binary(8), "
                    "constraint u unique (a, c))"),
            "CREATE TABLE [t] ([a] TEXT(255), [b] LONG NOT NULL, [c] BINARY(8), "
            "PRIMARY KEY ([b]), CONSTRAINT [u] UNIQUE ([a], [c]))");
  EXPECT_EQ(Reprint("select distinct top 5 a, count(*) as n, sum(b) from t where c not like 'x*' "
                    "and d between 1 and 2 group by a having count(*) > 1 order by sum(b) desc"),
            "SELECT DISTINCT TOP 5 [a], COUNT(*) AS [n], SUM([b]) FROM [t] WHERE [c] NOT LIKE 'x*' "
            "AND [d] BETWEEN 1 AND 2 GROUP BY [a] HAVING COUNT(*) > 1 ORDER BY SUM([b]) DESC");
  EXPECT_EQ(Reprint("create unique index i on t (a desc, b) with ignore null"),
            "CREATE UNIQUE INDEX [i] ON [t] ([a] DESC, [b]) WITH IGNORE NULL");
  EXPECT_EQ(Reprint("delete t.* from T where a < 3"), "DELETE FROM [T] WHERE [a] < 3");
  EXPECT_EQ(Reprint("DELETE * FROM [Order Details]"), "DELETE FROM [Order Details]");
  EXPECT_EQ(Reprint("drop table t"), "DROP TABLE [t]");
  EXPECT_EQ(Reprint("drop index i on t;"), "DROP INDEX [i] ON [t]");
  EXPECT_EQ(Reprint("alter table t add c varchar(20)"), "ALTER TABLE [t] ADD COLUMN [c] TEXT(20)");
  EXPECT_EQ(Reprint("ALTER TABLE t DROP c"), "ALTER TABLE [t] DROP COLUMN [c]");
}

TEST(Printer, ParenthesesOnlyWhereNeeded) {
  EXPECT_EQ(Reprint("SELECT * FROM t WHERE ((a = 1)) OR (b = 2 AND c = 3)"),
            "SELECT * FROM [t] WHERE [a] = 1 OR [b] = 2 AND [c] = 3");
  EXPECT_EQ(Reprint("SELECT * FROM t WHERE (a = 1 OR b = 2) AND NOT (c = 3 OR d = 4)"),
            "SELECT * FROM [t] WHERE ([a] = 1 OR [b] = 2) AND NOT ([c] = 3 OR [d] = 4)");
  EXPECT_EQ(Reprint("SELECT * FROM t WHERE a = 1 AND (b = 2 AND c = 3)"),
            "SELECT * FROM [t] WHERE [a] = 1 AND ([b] = 2 AND [c] = 3)");
  EXPECT_EQ(Reprint("SELECT * FROM t WHERE NOT NOT (a = 1)"),
            "SELECT * FROM [t] WHERE NOT NOT [a] = 1");
}

TEST(Printer, RoundTripsEveryForm) {
  for (const char* sql : {
           "SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')",
           "SELECT [Título], [año] FROM [mis canciones] WHERE [a b] >= -1.5e3 OR x <= #10:30#",
           "UPDATE configuracion SET valor_s = 'C:\\Música\\' WHERE elemento='rutaMusica'",
           "INSERT INTO t (a, b) IN 'x.mdb' SELECT c, d FROM u WHERE c <> 0 ORDER BY d",
           "SELECT c.*, g.n FROM (c IN 'o.mdb' AS c LEFT JOIN g ON c.g = g.id) RIGHT JOIN "
           "[a b] x ON x.id = g.x, y, z WHERE y.a = z.b GROUP BY c.t",
           "INSERT INTO t VALUES (-9223372036854775808, 99999999999999999999, #0100-01-01#)",
           "CREATE TABLE [x] (a MEMO, b CURRENCY, c GUID, d LONGBINARY, e COUNTER CONSTRAINT p PRIMARY KEY)",
           "CREATE INDEX i ON t (a) WITH PRIMARY",
       }) {
    std::string once = Reprint(sql);
    EXPECT_EQ(Reprint(once), once) << sql;
  }
}

TEST(Printer, Quoting) {
  EXPECT_EQ(QuoteText("it's ''"), "'it''s '''''");
  EXPECT_EQ(QuoteName("select"), "[select]");
  EXPECT_EQ(ToSql(Value::Text("")), "''");
}

}  // namespace
}  // namespace act::sql

namespace act::sql {
namespace {

// Jet's precedence, shown by the parentheses the printer needs to keep
// the tree: each case prints as its canonical form, which parses back to
// the same tree.
TEST(Printer, ExpressionsKeepJetsPrecedence) {
  const struct {
    const char* written;
    const char* printed;
  } cases[] = {
      {"a + b * c", "[a] + [b] * [c]"},
      {"(a + b) * c", "([a] + [b]) * [c]"},
      {"a - (b - c)", "[a] - ([b] - [c])"},
      {"a - b - c", "[a] - [b] - [c]"},
      {"-2 ^ 2", "-2 ^ 2"},
      {"(-2) ^ 2", "(-2) ^ 2"},
      {"2 ^ -1", "2 ^ (-1)"},
      {"a & b + 1", "[a] & [b] + 1"},
      {"(a & b) + 1", "([a] & [b]) + 1"},
      {"a mod b \\ c", "[a] MOD [b] \\ [c]"},
      {"a \\ b * c", "[a] \\ [b] * [c]"},
      {"a = b + 1", "[a] = [b] + 1"},
      {"not a or b", "NOT [a] OR [b]"},
      {"(a = 1) = (b = 2)", "([a] = 1) = ([b] = 2)"},
      {"Left(x, 2) & Mid(y, 1 + 1)", "Left([x], 2) & Mid([y], 1 + 1)"},
      {"x between b - 1 and c + 1", "[x] BETWEEN [b] - 1 AND [c] + 1"},
      {"x in (a + 1, Len(b))", "[x] IN ([a] + 1, Len([b]))"},
  };
  for (const auto& c : cases) {
    const std::string sql = std::string("SELECT * FROM t WHERE ") + c.written;
    const std::string printed = ToSql(Parse(sql));
    EXPECT_EQ(printed, std::string("SELECT * FROM [t] WHERE ") + c.printed) << c.written;
    EXPECT_EQ(ToSql(Parse(printed)), printed) << c.written;
  }
  EXPECT_EQ(Reprint("SELECT TOP 10 PERCENT a * 2 AS d FROM t GROUP BY Year(b) ORDER BY 1, d DESC"),
            "SELECT TOP 10 PERCENT [a] * 2 AS [d] FROM [t] GROUP BY Year([b]) ORDER BY 1, [d] DESC");
  EXPECT_EQ(Reprint("UPDATE t SET v = v + 1, w = 'a' & w"),
            "UPDATE [t] SET [v] = [v] + 1, [w] = 'a' & [w]");
}

}  // namespace
}  // namespace act::sql

namespace act::sql {
namespace {

TEST(Printer, SubqueriesAndUnions) {
  for (const char* sql :
       {"SELECT [a] FROM [t] WHERE [b] NOT IN (SELECT [c] FROM [u] WHERE [d] = (SELECT MAX([e]) FROM [v]))",
        "SELECT [a] FROM [t] WHERE EXISTS (SELECT * FROM [u]) OR [a] > (SELECT MIN([b]) FROM [u])",
        "SELECT [a] FROM [t] UNION ALL SELECT [b] FROM [u] UNION ALL SELECT [c] FROM [v] ORDER BY 1 DESC"}) {
    EXPECT_EQ(Reprint(sql), sql);
  }
  // One UNION among UNION ALLs drops the repeated rows of them all.
  auto s = ParseAs<SelectStatement>("SELECT a FROM t UNION ALL SELECT b FROM u UNION SELECT c FROM v");
  EXPECT_EQ(s.unions.size(), 2u);
  EXPECT_FALSE(s.union_all);
}

}  // namespace
}  // namespace act::sql
