// The value rules: non-empty, text form and the CLng conversion.
#include <gtest/gtest.h>

#include "engine/database/value_texts.h"
#include "platform/error.h"

namespace act {
namespace {

using db::Value;

TEST(CarryOverValues, NonEmptyAndTextForm) {
  EXPECT_FALSE(IsNonEmpty(Value::Null()));
  EXPECT_FALSE(IsNonEmpty(Value::Text("")));
  EXPECT_TRUE(IsNonEmpty(Value::Text(" ")));
  EXPECT_TRUE(IsNonEmpty(Value::Long(0)));
  EXPECT_TRUE(IsNonEmpty(Value::Integer(0)));
  EXPECT_EQ(TextForm(Value::Null()), "");
  EXPECT_EQ(TextForm(Value::Long(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(TextForm(Value::Long(2147483647)), "2147483647");
  EXPECT_EQ(TextForm(Value::Text("canción")), "canción");
}

int32_t Lng(const Value& v) { return ToLong(v, "valor"); }
int Number(const Value& v) {
  try {
    ToLong(v, "valor");
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(CarryOverValues, ConvertsLikeCLng) {
  EXPECT_EQ(Lng(Value::Long(-5)), -5);
  EXPECT_EQ(Lng(Value::Boolean(true)), -1);
  EXPECT_EQ(Lng(Value::Text("42")), 42);
  EXPECT_EQ(Lng(Value::Text("  -7 ")), -7);
  EXPECT_EQ(Lng(Value::Text("2.5")), 2);   // half to even
  EXPECT_EQ(Lng(Value::Text("3.5")), 4);
  EXPECT_EQ(Lng(Value::Double(-2.5)), -2);
  EXPECT_EQ(Lng(Value::Text("1e3")), 1000);
  EXPECT_EQ(Lng(Value::Currency(15000)), 2);  // 1.5
  EXPECT_EQ(Lng(Value::Text("2147483647")), 2147483647);
  EXPECT_EQ(Lng(Value::Text("-2147483648")), -2147483647 - 1);
  EXPECT_EQ(Number(Value::Text("2147483648")), 6);
  EXPECT_EQ(Number(Value::Double(-2147483649.0)), 6);
  EXPECT_EQ(Number(Value::Text("doce")), 13);
  EXPECT_EQ(Number(Value::Text("12abc")), 13);
  EXPECT_EQ(Number(Value::Text(".")), 13);
  EXPECT_EQ(Number(Value::Text("1e")), 13);
  EXPECT_EQ(Number(Value::Binary("\x01")), 13);
}

}  // namespace
}  // namespace act
