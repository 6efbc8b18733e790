// WHERE conditions, SELECT lists and ORDER BY, keyword case and names.
#include <gtest/gtest.h>

#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

TEST(Conditions, ComparisonOperators) {
  const struct { const char* text; CompareOp op; } cases[] = {
      {"=", CompareOp::kEqual},      {"<>", CompareOp::kNotEqual},
      {"<", CompareOp::kLess},       {"<=", CompareOp::kLessEqual},
      {">", CompareOp::kGreater},    {">=", CompareOp::kGreaterEqual},
  };
  for (const auto& c : cases) {
    Expr e = Where(std::string("valor") + c.text + "-5");
    ASSERT_EQ(e.kind, Expr::Kind::kCompare) << c.text;
    EXPECT_EQ(e.op, c.op) << c.text;
    EXPECT_EQ(e.operands[0].column, "valor");
    EXPECT_EQ(e.operands[1].literal, Value::Integer(-5));
  }
  // Either side may be the literal.
  Expr e = Where("'x' = [elemento]");
  EXPECT_EQ(e.operands[0].literal, Value::Text("x"));
  EXPECT_EQ(e.operands[1].column, "elemento");
}

TEST(Conditions, AndBindsTighterThanOrAndChainsAreFlat) {
  Expr e = Where("a = 1 OR b = 2 AND c = 3 AND d = 4 OR e = 5");
  ASSERT_EQ(e.kind, Expr::Kind::kOr);
  ASSERT_EQ(e.operands.size(), 3u);
  EXPECT_EQ(e.operands[0].kind, Expr::Kind::kCompare);
  ASSERT_EQ(e.operands[1].kind, Expr::Kind::kAnd);
  ASSERT_EQ(e.operands[1].operands.size(), 3u);
  EXPECT_EQ(e.operands[1].operands[2].operands[0].column, "d");
  EXPECT_EQ(e.operands[2].operands[0].column, "e");
}

TEST(Conditions, ParenthesesAndNot) {
  Expr e = Where("(a = 1 OR b = 2) AND NOT (c IS NULL)");
  ASSERT_EQ(e.kind, Expr::Kind::kAnd);
  EXPECT_EQ(e.operands[0].kind, Expr::Kind::kOr);
  ASSERT_EQ(e.operands[1].kind, Expr::Kind::kNot);
  const Expr& inner = e.operands[1].operands[0];
  EXPECT_EQ(inner.kind, Expr::Kind::kIsNull);
  EXPECT_FALSE(inner.negated);
  // Redundant parentheses leave no trace in the tree.
  Expr plain = Where("((((a = 1))))");
  EXPECT_EQ(plain.kind, Expr::Kind::kCompare);
}

TEST(Conditions, InNotInAndIsNotNull) {
  Expr in = Where("n IN (1, -2, 'x', NULL)");
  ASSERT_EQ(in.kind, Expr::Kind::kIn);
  EXPECT_FALSE(in.negated);
  ASSERT_EQ(in.operands.size(), 5u);
  EXPECT_EQ(in.operands[2].literal, Value::Integer(-2));
  EXPECT_EQ(in.operands[4].literal, Value::Null());

  Expr not_in = Where("n not in ('a')");
  EXPECT_TRUE(not_in.negated);
  // NOT before the operand negates the whole predicate instead.
  Expr not_before = Where("NOT n IN ('a')");
  ASSERT_EQ(not_before.kind, Expr::Kind::kNot);
  EXPECT_FALSE(not_before.operands[0].negated);

  Expr is_not_null = Where("[valor s] Is Not Null");
  EXPECT_EQ(is_not_null.kind, Expr::Kind::kIsNull);
  EXPECT_TRUE(is_not_null.negated);
  EXPECT_EQ(is_not_null.operands[0].column, "valor s");
}

TEST(Conditions, PositionsPointIntoTheStatement) {
  const std::string sql = "SELECT * FROM t WHERE a = 1 AND bb <> 2";
  auto s = ParseAs<SelectStatement>(sql);
  const Expr& second = s.where->operands[1];
  EXPECT_EQ(sql.substr(second.position, 2), "bb");
}

TEST(Select, ColumnsOrderByAndKeywordCase) {
  auto s = ParseAs<SelectStatement>(
      "select [Título canción], autor FROM [mis canciones] where autor <> 'x' "
      "order by autor DESC, [Título canción] asc, id;");
  EXPECT_EQ(ColumnNames(s), (std::vector<std::string>{"Título canción", "autor"}));
  EXPECT_EQ(s.from.table, "mis canciones");
  ASSERT_EQ(s.order_by.size(), 3u);
  EXPECT_EQ(s.order_by[0].expr.column, "autor");
  EXPECT_TRUE(s.order_by[0].descending);
  EXPECT_FALSE(s.order_by[1].descending);
  EXPECT_FALSE(s.order_by[2].descending);

  auto mixed = ParseAs<SelectStatement>("SeLeCt * FrOm canciones OrDeR bY id");
  EXPECT_EQ(mixed.from.table, "canciones");
  EXPECT_EQ(mixed.order_by.size(), 1u);
}

TEST(Select, AggregatesGroupsAndTheirConditions) {
  auto s = ParseAs<SelectStatement>(
      "SELECT DISTINCT TOP 10 artista, Count(*) AS n, max([año]) FROM canciones "
      "WHERE titulo NOT LIKE 'a*' AND id NOT BETWEEN 1 AND 5 GROUP BY artista, album "
      "HAVING COUNT(id) > 1 ORDER BY COUNT(*) DESC, artista");
  EXPECT_TRUE(s.distinct);
  EXPECT_EQ(s.top, 10);
  ASSERT_EQ(s.columns.size(), 3u);
  EXPECT_EQ(s.columns[1].expr.kind, Expr::Kind::kAggregate);
  EXPECT_EQ(s.columns[1].expr.aggregate, Aggregate::kCount);
  EXPECT_TRUE(s.columns[1].expr.operands.empty());  // COUNT(*)
  EXPECT_EQ(s.columns[1].alias, "n");
  EXPECT_EQ(s.columns[2].expr.aggregate, Aggregate::kMax);
  EXPECT_EQ(s.columns[2].expr.operands.at(0).column, "año");
  ASSERT_EQ(s.where->operands.size(), 2u);
  EXPECT_EQ(s.where->operands[0].kind, Expr::Kind::kLike);
  EXPECT_TRUE(s.where->operands[0].negated);
  EXPECT_EQ(s.where->operands[1].kind, Expr::Kind::kBetween);
  EXPECT_EQ(s.where->operands[1].operands.size(), 3u);
  ASSERT_EQ(s.group_by.size(), 2u);
  EXPECT_EQ(s.group_by[1].column, "album");
  EXPECT_EQ(s.having->operands.at(0).kind, Expr::Kind::kAggregate);
  EXPECT_EQ(s.order_by.at(0).expr.kind, Expr::Kind::kAggregate);
  EXPECT_TRUE(s.order_by[0].descending);
}

TEST(Select, NamesKeepTheirCaseAndAccents) {
  auto s = ParseAs<SelectStatement>("SELECT Año, ñandú, _x1 FROM Géneros");
  EXPECT_EQ(ColumnNames(s), (std::vector<std::string>{"Año", "ñandú", "_x1"}));
  EXPECT_EQ(s.from.table, "Géneros");
  // Reserved words are names only in brackets.
  auto bracketed = ParseAs<SelectStatement>("SELECT [select], [from] FROM [where]");
  EXPECT_EQ(ColumnNames(bracketed), (std::vector<std::string>{"select", "from"}));
  EXPECT_EQ(bracketed.from.table, "where");
}

TEST(Update, SeveralAssignmentsAndNoWhere) {
  auto u = ParseAs<UpdateStatement>(
      "update [config uración] set a = NULL, b = 'it''s', c = -3.25, d = #2024-05-01#");
  EXPECT_EQ(u.table, "config uración");
  ASSERT_EQ(u.assignments.size(), 4u);
  EXPECT_EQ(u.assignments[0].value.literal, Value::Null());
  EXPECT_EQ(u.assignments[1].value.literal, Value::Text("it's"));
  EXPECT_EQ(u.assignments[2].value.literal.kind, Value::Kind::kNumber);
  EXPECT_DOUBLE_EQ(u.assignments[2].value.literal.number, -3.25);
  EXPECT_EQ(u.assignments[3].value.literal.kind, Value::Kind::kDate);
  EXPECT_FALSE(u.where);
}

TEST(Insert, ValuesWithColumnsAndTargetFile) {
  auto v = ParseAs<InsertValuesStatement>(
      "INSERT INTO dinero (id, importe, fecha) VALUES (1, 12.5, #5/1/2024 10:30:00 PM#)");
  EXPECT_EQ(v.table, "dinero");
  EXPECT_FALSE(v.target_file);
  EXPECT_EQ(v.columns, (std::vector<std::string>{"id", "importe", "fecha"}));
  ASSERT_EQ(v.values.size(), 3u);
  EXPECT_EQ(v.values[2].literal.date, (DateTime{2024, 5, 1, 22, 30, 0}));

  // Jet takes IN before or after the column list.
  auto before = ParseAs<InsertValuesStatement>("INSERT INTO t IN 'd:\\x.mdb' (a) VALUES ('b')");
  auto after = ParseAs<InsertValuesStatement>("INSERT INTO t (a) IN \"d:\\x.mdb\" VALUES ('b')");
  EXPECT_EQ(before.target_file, after.target_file);
  EXPECT_EQ(*before.target_file, "d:\\x.mdb");
  EXPECT_EQ(before.columns, after.columns);
}

TEST(Insert, SelectWithColumnsAndCondition) {
  auto s = ParseAs<InsertSelectStatement>(
      "INSERT INTO destino (a, b) SELECT x, y FROM origen WHERE x > 0 ORDER BY y");
  EXPECT_EQ(s.table, "destino");
  EXPECT_FALSE(s.target_file);
  EXPECT_EQ(s.columns, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ColumnNames(s.source), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(s.source.from.table, "origen");
  EXPECT_TRUE(s.source.where);
  EXPECT_EQ(s.source.order_by.size(), 1u);
  // A path with blanks, accents and a doubled apostrophe.
  auto path = ParseAs<InsertSelectStatement>(
      "INSERT INTO t IN 'C:\\Mis datos\\O''Brien\\año.mdb' SELECT * FROM t");
  EXPECT_EQ(*path.target_file, "C:\\Mis datos\\O'Brien\\año.mdb");
}

}  // namespace
}  // namespace act::sql
