// Literals of every column type, as INSERT ... VALUES and UPDATE carry them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tests/sql/test_util.h"

namespace act::sql {
namespace {

TEST(Literals, Texts) {
  EXPECT_EQ(Literal("'abc'"), Value::Text("abc"));
  EXPECT_EQ(Literal("\"abc\""), Value::Text("abc"));
  EXPECT_EQ(Literal("'Don''t Stop'"), Value::Text("Don't Stop"));
  EXPECT_EQ(Literal("\"say \"\"hi\"\" 'now'\""), Value::Text("say \"hi\" 'now'"));
  EXPECT_EQ(Literal("''"), Value::Text(""));
  // Backslashes are plain characters; line breaks are kept.
  EXPECT_EQ(Literal("'c:\\n\\t\\'"), Value::Text("c:\\n\\t\\"));
  EXPECT_EQ(Literal("'a\r\nb'"), Value::Text("a\r\nb"));
  EXPECT_EQ(Literal("'canción ñ € 日本 😀'"), Value::Text("canción ñ € 日本 😀"));
}

TEST(Literals, Integers) {
  EXPECT_EQ(Literal("0"), Value::Integer(0));
  EXPECT_EQ(Literal("-0"), Value::Integer(0));
  EXPECT_EQ(Literal("+42"), Value::Integer(42));
  EXPECT_EQ(Literal("- 42"), Value::Integer(-42));
  EXPECT_EQ(Literal("007"), Value::Integer(7));
  EXPECT_EQ(Literal("9223372036854775807"),
            Value::Integer(std::numeric_limits<std::int64_t>::max()));
  EXPECT_EQ(Literal("-9223372036854775808"),
            Value::Integer(std::numeric_limits<std::int64_t>::min()));
  // Beyond 64 bits a whole number becomes a Double, as in Jet.
  Value big = Literal("9223372036854775808");
  EXPECT_EQ(big.kind, Value::Kind::kNumber);
  EXPECT_DOUBLE_EQ(big.number, 9223372036854775808.0);
  EXPECT_EQ(big.text, "9223372036854775808");
}

TEST(Literals, Decimals) {
  const struct { const char* literal; double number; const char* text; } cases[] = {
      {"1.5", 1.5, "1.5"},         {"-12.50", -12.5, "-12.50"}, {".25", 0.25, ".25"},
      {"3.", 3.0, "3."},           {"1E3", 1000.0, "1E3"},      {"-2.5e-2", -0.025, "-2.5e-2"},
      {"922337203685477.5807", 922337203685477.5807, "922337203685477.5807"},
  };
  for (const auto& c : cases) {
    Value v = Literal(c.literal);
    EXPECT_EQ(v.kind, Value::Kind::kNumber) << c.literal;
    EXPECT_DOUBLE_EQ(v.number, c.number) << c.literal;
    EXPECT_EQ(v.text, c.text) << c.literal;
  }
}

TEST(Literals, NullBooleansInAnyCase) {
  EXPECT_EQ(Literal("NULL"), Value::Null());
  EXPECT_EQ(Literal("null"), Value::Null());
  EXPECT_EQ(Literal("True"), Value::Boolean(true));
  EXPECT_EQ(Literal("FALSE"), Value::Boolean(false));
}

TEST(Literals, Dates) {
  Value full = Literal("#2024-05-01 10:30:00#");
  ASSERT_EQ(full.kind, Value::Kind::kDate);
  EXPECT_EQ(full.date, (DateTime{2024, 5, 1, 10, 30, 0}));
  EXPECT_EQ(Literal("#2024-05-01#").date, (DateTime{2024, 5, 1, 0, 0, 0}));
  EXPECT_EQ(Literal("#10:30:00#").date, (DateTime{1899, 12, 30, 10, 30, 0}));
  EXPECT_EQ(Literal("#12/31/1999#").date, (DateTime{1999, 12, 31, 0, 0, 0}));
}

TEST(Literals, Binary) {
  Value v = Literal("0x00FFa01B");
  ASSERT_EQ(v.kind, Value::Kind::kBinary);
  EXPECT_EQ(v.text, std::string("\x00\xff\xa0\x1b", 4));
}

TEST(Literals, AllKindsInOneRow) {
  auto s = ParseAs<InsertValuesStatement>(
      "insert into todo values ('t', 1, -2, 3.5, #2000-01-01#, NULL, TRUE, FALSE, 0x01);");
  ASSERT_EQ(s.values.size(), 9u);
  const Value::Kind kinds[] = {Value::Kind::kText,    Value::Kind::kInteger, Value::Kind::kInteger,
                               Value::Kind::kNumber,  Value::Kind::kDate,    Value::Kind::kNull,
                               Value::Kind::kBoolean, Value::Kind::kBoolean, Value::Kind::kBinary};
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(s.values[i].literal.kind, kinds[i]) << i;
}

}  // namespace
}  // namespace act::sql
