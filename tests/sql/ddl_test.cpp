// CREATE TABLE and CREATE INDEX.
#include <gtest/gtest.h>

#include "db/sql/type_names.h"
#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

ColumnDef OnlyColumn(const std::string& definition) {
  auto c = ParseAs<CreateTableStatement>("CREATE TABLE t (" + definition + ")");
  EXPECT_EQ(c.columns.size(), 1u) << definition;
  return c.columns.empty() ? ColumnDef{} : c.columns[0];
}

TEST(CreateTable, JetTypesAndSynonyms) {
  const struct { const char* name; ColumnType type; } cases[] = {
      {"TEXT", ColumnType::kText},          {"varchar", ColumnType::kText},
      {"Char", ColumnType::kText},          {"MEMO", ColumnType::kMemo},
      {"LONGTEXT", ColumnType::kMemo},      {"BYTE", ColumnType::kByte},
      {"SHORT", ColumnType::kShort},        {"SMALLINT", ColumnType::kShort},
      {"LONG", ColumnType::kLong},          {"INTEGER", ColumnType::kLong},
      {"int", ColumnType::kLong},           {"COUNTER", ColumnType::kCounter},
      {"AutoIncrement", ColumnType::kCounter}, {"CURRENCY", ColumnType::kCurrency},
      {"MONEY", ColumnType::kCurrency},     {"SINGLE", ColumnType::kSingle},
      {"REAL", ColumnType::kSingle},        {"DOUBLE", ColumnType::kDouble},
      {"FLOAT", ColumnType::kDouble},       {"DATETIME", ColumnType::kDateTime},
      {"DATE", ColumnType::kDateTime},      {"BIT", ColumnType::kBit},
      {"YESNO", ColumnType::kBit},          {"LOGICAL", ColumnType::kBit},
      {"LONGBINARY", ColumnType::kLongBinary}, {"OLEOBJECT", ColumnType::kLongBinary},
      {"BINARY", ColumnType::kBinary},      {"GUID", ColumnType::kGuid},
  };
  for (const auto& c : cases) {
    ColumnDef col = OnlyColumn(std::string("x ") + c.name);
    EXPECT_EQ(col.type, c.type) << c.name;
    EXPECT_EQ(col.name, "x");
  }
}

TEST(CreateTable, CanonicalNamesRoundTrip) {
  for (ColumnType t : {ColumnType::kBit, ColumnType::kByte, ColumnType::kShort, ColumnType::kLong,
                       ColumnType::kCounter, ColumnType::kCurrency, ColumnType::kSingle,
                       ColumnType::kDouble, ColumnType::kDateTime, ColumnType::kText,
                       ColumnType::kBinary, ColumnType::kMemo, ColumnType::kLongBinary,
                       ColumnType::kGuid}) {
    auto back = LookupColumnType(DdlTypeName(t));
    ASSERT_TRUE(back) << DdlTypeName(t);
    EXPECT_EQ(*back, t);
  }
  EXPECT_STREQ(DdlTypeName(ColumnType::kLong), "LONG");
  EXPECT_STREQ(DdlTypeName(ColumnType::kDateTime), "DATETIME");
}

TEST(CreateTable, SizesAndNullability) {
  EXPECT_EQ(OnlyColumn("a TEXT").size, 255);
  EXPECT_EQ(OnlyColumn("a TEXT(50)").size, 50);
  EXPECT_EQ(OnlyColumn("a VARCHAR (1)").size, 1);
  EXPECT_EQ(OnlyColumn("a BINARY(16)").size, 16);
  EXPECT_EQ(OnlyColumn("a LONG").size, 0);
  EXPECT_TRUE(OnlyColumn("a LONG NOT NULL").not_null);
  EXPECT_FALSE(OnlyColumn("a LONG NULL").not_null);
}

TEST(CreateTable, TheConfigurationTable) {
  auto c = ParseAs<CreateTableStatement>(
      "CREATE TABLE configuracion (elemento TEXT(50) NOT NULL PRIMARY KEY, "
      "valor_s TEXT(255), valor LONG)");
  EXPECT_EQ(c.table, "configuracion");
  ASSERT_EQ(c.columns.size(), 3u);
  EXPECT_EQ(c.columns[0].name, "elemento");
  EXPECT_EQ(c.columns[0].size, 50);
  EXPECT_TRUE(c.columns[0].not_null);
  EXPECT_EQ(c.columns[2].type, ColumnType::kLong);
  ASSERT_EQ(c.constraints.size(), 1u);
  EXPECT_EQ(c.constraints[0].kind, TableConstraint::Kind::kPrimaryKey);
  EXPECT_EQ(c.constraints[0].name, "");
  EXPECT_EQ(c.constraints[0].columns, (std::vector<std::string>{"elemento"}));
}

TEST(CreateTable, ConstraintsInEveryPlace) {
  auto c = ParseAs<CreateTableStatement>(
      "create table [genero album] ([id género] COUNTER CONSTRAINT pk PRIMARY KEY, "
      "album TEXT(100) UNIQUE, genero LONG NOT NULL, "
      "CONSTRAINT [único par] UNIQUE (album, [genero]), PRIMARY KEY (genero));");
  EXPECT_EQ(c.table, "genero album");
  ASSERT_EQ(c.columns.size(), 3u);
  EXPECT_EQ(c.columns[0].name, "id género");
  ASSERT_EQ(c.constraints.size(), 4u);
  EXPECT_EQ(c.constraints[0].name, "pk");
  EXPECT_EQ(c.constraints[0].columns, (std::vector<std::string>{"id género"}));
  EXPECT_EQ(c.constraints[1].kind, TableConstraint::Kind::kUnique);
  EXPECT_EQ(c.constraints[1].columns, (std::vector<std::string>{"album"}));
  EXPECT_EQ(c.constraints[2].name, "único par");
  EXPECT_EQ(c.constraints[2].columns, (std::vector<std::string>{"album", "genero"}));
  EXPECT_EQ(c.constraints[3].kind, TableConstraint::Kind::kPrimaryKey);
  EXPECT_EQ(c.constraints[3].name, "");
}

TEST(CreateTable, Refusals) {
  const struct { const char* sql; int number; } cases[] = {
      {"CREATE TABLE t (a WIDGET)", 3259},
      {"CREATE TABLE t (a TEXT(0))", 3292},
      {"CREATE TABLE t (a TEXT(256))", 3292},
      {"CREATE TABLE t (a TEXT(1.5))", 3292},
      {"CREATE TABLE t (a LONG(4))", 3292},
      {"CREATE TABLE t (a LONG, A TEXT)", 3292},
      {"CREATE TABLE t (a LONG NOT)", 3292},
      {"CREATE TABLE t (a)", 3292},
      {"CREATE TABLE t ()", 3290},
      {"CREATE TABLE t (a LONG", 3290},
      {"CREATE TABLE t a LONG", 3290},
      {"CREATE TABLE (a LONG)", 3290},
      {"CREATE TABLE t (a LONG, CONSTRAINT pk PRIMARY (a))", 3289},
      {"CREATE TABLE t (a LONG, CONSTRAINT pk KEY (a))", 3289},
      {"CREATE TABLE t (a LONG, CONSTRAINT pk UNIQUE ())", 3289},
      {"CREATE TABLE [a.b] (a LONG)", 3125},
      {"CREATE TABLE [ lead] (a LONG)", 3125},
      {"CREATE TABLE t ([a!b] LONG)", 3125},
      {"CREATE TABLE aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa (a LONG)", 3125},
      {"CREATE VIEW v", 3129},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseError(c.sql).number(), c.number) << c.sql;
  // 64 characters, accents counted as one each, is the longest name.
  std::string name(62, 'a');
  EXPECT_EQ(ParseAs<CreateTableStatement>("CREATE TABLE [" + name + "ñé] (a LONG)").table,
            name + "ñé");
}

TEST(CreateIndex, Forms) {
  auto plain = ParseAs<CreateIndexStatement>("CREATE INDEX idx ON canciones (titulo)");
  EXPECT_EQ(plain.index, "idx");
  EXPECT_EQ(plain.table, "canciones");
  EXPECT_FALSE(plain.unique);
  ASSERT_EQ(plain.columns.size(), 1u);
  EXPECT_FALSE(plain.columns[0].descending);
  EXPECT_FALSE(plain.primary || plain.disallow_null || plain.ignore_null);

  auto unique = ParseAs<CreateIndexStatement>(
      "create unique index [por género] on [genero album] (genero DESC, album ASC, id) "
      "with disallow null;");
  EXPECT_TRUE(unique.unique);
  EXPECT_EQ(unique.index, "por género");
  ASSERT_EQ(unique.columns.size(), 3u);
  EXPECT_TRUE(unique.columns[0].descending);
  EXPECT_FALSE(unique.columns[1].descending);
  EXPECT_TRUE(unique.disallow_null);

  EXPECT_TRUE(ParseAs<CreateIndexStatement>("CREATE INDEX pk ON t (a) WITH PRIMARY").primary);
  EXPECT_TRUE(ParseAs<CreateIndexStatement>("CREATE INDEX i ON t (a) WITH IGNORE NULL").ignore_null);
}

TEST(CreateIndex, Refusals) {
  for (const char* sql :
       {"CREATE INDEX ON t (a)", "CREATE INDEX i t (a)", "CREATE INDEX i ON t ()",
        "CREATE INDEX i ON t (a", "CREATE INDEX i ON t (a) WITH", "CREATE INDEX i ON t (a) WITH NULL",
        "CREATE INDEX i ON t (a) WITH DISALLOW"}) {
    EXPECT_EQ(ParseError(sql).number(), 3291) << sql;
  }
  EXPECT_EQ(ParseError("CREATE UNIQUE TABLE t (a LONG)").number(), 3129);
  EXPECT_EQ(ParseError("CREATE INDEX i ON t (a) WITH PRIMARY DISALLOW NULL").number(), 3142);
}

}  // namespace
}  // namespace act::sql
