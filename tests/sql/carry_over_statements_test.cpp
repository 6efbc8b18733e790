// The statements of the database carry-over, built the way the updater
// builds them: plain concatenation of fixed texts, names and values.
#include <gtest/gtest.h>

#include <string>

#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

std::string TextLookup(const std::string& element) {
  return "SELECT elemento,valor_s FROM configuracion WHERE elemento='" + element + "'";
}
std::string NumberLookup(const std::string& element) {
  return "SELECT elemento,valor FROM configuracion WHERE elemento='" + element + "'";
}
std::string TextUpdate(const std::string& value, const std::string& element) {
  return "UPDATE configuracion SET valor_s = '" + value + "' WHERE elemento='" + element + "'";
}
std::string NumberUpdate(const std::string& value, const std::string& element) {
  return "UPDATE configuracion SET valor = " + value + " WHERE elemento='" + element + "'";
}
std::string TableCopy(const std::string& table, const std::string& drive) {
  return "Insert INTO " + table + " IN '" + drive + "\\zentaroDeck_NEW\\" + "datos.new" +
         "' SELECT * FROM " + table;
}

void ExpectEqualsText(const Expr& e, const std::string& column, const std::string& text) {
  ASSERT_EQ(e.kind, Expr::Kind::kCompare);
  EXPECT_EQ(e.op, CompareOp::kEqual);
  ASSERT_EQ(e.operands.size(), 2u);
  EXPECT_EQ(e.operands[0].kind, Expr::Kind::kColumn);
  EXPECT_EQ(e.operands[0].column, column);
  EXPECT_EQ(e.operands[1].kind, Expr::Kind::kLiteral);
  EXPECT_EQ(e.operands[1].literal, Value::Text(text));
}

TEST(CarryOverStatements, ConfigurationWalk) {
  auto s = ParseAs<SelectStatement>(
      "SELECT * FROM configuracion WHERE elemento NOT IN ('versionBD','VersionCLI')");
  EXPECT_TRUE(s.columns.empty());
  EXPECT_EQ(s.from.table, "configuracion");
  ASSERT_TRUE(s.where);
  const Expr& w = *s.where;
  ASSERT_EQ(w.kind, Expr::Kind::kIn);
  EXPECT_TRUE(w.negated);
  ASSERT_EQ(w.operands.size(), 3u);
  EXPECT_EQ(w.operands[0].column, "elemento");
  EXPECT_EQ(w.operands[1].literal, Value::Text("versionBD"));
  EXPECT_EQ(w.operands[2].literal, Value::Text("VersionCLI"));
  EXPECT_TRUE(s.order_by.empty());
}

TEST(CarryOverStatements, Lookups) {
  for (const std::string element : {"rutaMusica", "Don''t Stop", "año_ñandú", ""}) {
    auto text = ParseAs<SelectStatement>(TextLookup(element));
    EXPECT_EQ(ColumnNames(text), (std::vector<std::string>{"elemento", "valor_s"}));
    EXPECT_EQ(text.from.table, "configuracion");
    std::string unquoted = element == "Don''t Stop" ? "Don't Stop" : element;
    ExpectEqualsText(*text.where, "elemento", unquoted);

    auto number = ParseAs<SelectStatement>(NumberLookup(element));
    EXPECT_EQ(ColumnNames(number), (std::vector<std::string>{"elemento", "valor"}));
    ExpectEqualsText(*number.where, "elemento", unquoted);
  }
}

TEST(CarryOverStatements, TextUpdate) {
  auto u = ParseAs<UpdateStatement>(TextUpdate("C:\\Música\\", "rutaMusica"));
  EXPECT_EQ(u.table, "configuracion");
  ASSERT_EQ(u.assignments.size(), 1u);
  EXPECT_EQ(u.assignments[0].column, "valor_s");
  EXPECT_EQ(u.assignments[0].value.literal, Value::Text("C:\\Música\\"));
  ExpectEqualsText(*u.where, "elemento", "rutaMusica");

  // The text form of a Null installed value is the empty text.
  auto empty = ParseAs<UpdateStatement>(TextUpdate("", "x"));
  EXPECT_EQ(empty.assignments[0].value.literal, Value::Text(""));
}

TEST(CarryOverStatements, NumberUpdate) {
  for (long long n : {0LL, 7LL, -1LL, 2147483647LL, -2147483648LL}) {
    auto u = ParseAs<UpdateStatement>(NumberUpdate(std::to_string(n), "volumen"));
    ASSERT_EQ(u.assignments.size(), 1u);
    EXPECT_EQ(u.assignments[0].column, "valor");
    EXPECT_EQ(u.assignments[0].value.literal, Value::Integer(n));
    ExpectEqualsText(*u.where, "elemento", "volumen");
  }
}

TEST(CarryOverStatements, NullInstalledNumberIsRefused) {
  // A Null installed valor leaves nothing after the equals sign: the engine
  // must refuse the statement rather than guess.
  try {
    Parse(NumberUpdate("", "volumen"));
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3144);
    EXPECT_NE(std::string(e.what()).find("UPDATE configuracion SET valor =  WHERE"),
              std::string::npos)
        << e.what();
  }
}

TEST(CarryOverStatements, UndoubledApostrophesAreRefusedNotMisread) {
  // Names and values go between apostrophes unchanged; one that holds an
  // apostrophe ends the text early. The statement must then fail, never run
  // as something else.
  for (const std::string& sql :
       {TextUpdate("Don't Stop", "x"), TextUpdate("x' WHERE elemento='y", "z"),
        TextUpdate("x', valor = 5 WHERE elemento='y", "z"), NumberUpdate("5 WHERE 1", "x"),
        TextLookup("O'Brien")}) {
    try {
      Parse(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const Error& e) {
      EXPECT_TRUE(std::string(e.what()).find(sql) != std::string::npos) << e.what();
    }
  }
  // A text standing as a condition parses (Jet's grammar allows any value
  // there) and is refused when the statement runs (3464, before any row).
  // Some cannot be told from a well-formed statement: the updater's own
  // concatenation must double apostrophes for these to mean what they say.
  auto widened = ParseAs<SelectStatement>(TextLookup("a' OR elemento<>'"));
  EXPECT_EQ(widened.where->kind, Expr::Kind::kOr);
}

TEST(CarryOverStatements, TableCopies) {
  for (const std::string table :
       {"informacion_cd", "canciones", "generos", "genero_album", "publicidad", "dinero"}) {
    for (const std::string drive : {"c:", "D:", "z:"}) {
      auto s = ParseAs<InsertSelectStatement>(TableCopy(table, drive));
      EXPECT_EQ(s.table, table);
      ASSERT_TRUE(s.target_file);
      EXPECT_EQ(*s.target_file, drive + "\\zentaroDeck_NEW\\datos.new");
      EXPECT_TRUE(s.columns.empty());
      EXPECT_TRUE(s.source.columns.empty());
      EXPECT_EQ(s.source.from.table, table);
      EXPECT_FALSE(s.source.where);
    }
  }
  EXPECT_EQ(TableCopy("canciones", "c:"),
            "Insert INTO canciones IN 'c:\\zentaroDeck_NEW\\datos.new' SELECT * FROM canciones");
}

}  // namespace
}  // namespace act::sql
