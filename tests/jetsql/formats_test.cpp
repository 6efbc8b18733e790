// The CSV (mdb-export's form) and JSON forms of single values and rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tools/jetsql/formats.h"

namespace act::jetsql {
namespace {

Cell Make(CellType type, std::int64_t integer, double real = 0, std::string bytes = "") {
  Cell c;
  c.type = type;
  c.is_null = false;
  c.integer = integer;
  c.real = real;
  c.bytes = std::move(bytes);
  return c;
}
Cell Text(std::string s) { return Make(CellType::kText, 0, 0, std::move(s)); }
Cell Null(CellType type) {
  Cell c;
  c.type = type;
  return c;
}

TEST(Csv, NumbersAsMdbExportPrintsThem) {
  EXPECT_EQ(CsvValue(Make(CellType::kBoolean, 1)), "1");
  EXPECT_EQ(CsvValue(Make(CellType::kBoolean, 0)), "0");
  EXPECT_EQ(CsvValue(Make(CellType::kByte, 255)), "255");
  EXPECT_EQ(CsvValue(Make(CellType::kShort, -32768)), "-32768");
  EXPECT_EQ(CsvValue(Make(CellType::kLong, 333333333)), "333333333");
  EXPECT_EQ(CsvValue(Make(CellType::kDouble, 0, 444.555)), "444.555");
  EXPECT_EQ(CsvValue(Make(CellType::kDouble, 0, 0.1)), "0.1");
  EXPECT_EQ(CsvValue(Make(CellType::kDouble, 0, 1.0 / 3)), "0.3333333333333333");
  EXPECT_EQ(CsvValue(Make(CellType::kDouble, 0, 1e20)), "1e+20");
  EXPECT_EQ(CsvValue(Make(CellType::kSingle, 0, static_cast<float>(3.1))), "3.0999999");
  EXPECT_EQ(CsvValue(Make(CellType::kCurrency, 35000)), "3.5000");
  EXPECT_EQ(CsvValue(Make(CellType::kCurrency, 0)), "0.0000");
  EXPECT_EQ(CsvValue(Make(CellType::kCurrency, -1)), "-0.0001");
  EXPECT_EQ(CsvValue(Make(CellType::kCurrency, std::numeric_limits<std::int64_t>::min())),
            "-922337203685477.5808");
}

TEST(Csv, QuotedKinds) {
  EXPECT_EQ(CsvValue(Text("abc")), "\"abc\"");
  EXPECT_EQ(CsvValue(Text("say \"hi\", now\n")), "\"say \"\"hi\"\", now\n\"");
  EXPECT_EQ(CsvValue(Make(CellType::kMemo, 0, 0, "ñandú")), "\"ñandú\"");
  EXPECT_EQ(CsvValue(Make(CellType::kDateTime, 0, 29932.0)), "\"12/12/81 00:00:00\"");
  EXPECT_EQ(CsvValue(Make(CellType::kDateTime, 0, 45413.75)), "\"05/01/24 18:00:00\"");
  EXPECT_EQ(CsvValue(Make(CellType::kBinary, 0, 0, std::string("a\"\0b", 4))),
            std::string("\"a\"\"\0b\"", 7));
  std::string guid("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
  EXPECT_EQ(CsvValue(Make(CellType::kGuid, 0, 0, guid)),
            "\"{00112233-4455-6677-8899-AABBCCDDEEFF}\"");
}

TEST(Csv, NullAndEmptyPrintNothing) {
  EXPECT_EQ(CsvValue(Null(CellType::kText)), "");
  EXPECT_EQ(CsvValue(Null(CellType::kLong)), "");
  EXPECT_EQ(CsvValue(Text("")), "");
  EXPECT_EQ(CsvRow({Text("a"), Null(CellType::kLong), Make(CellType::kLong, 2)}), "\"a\",,2\n");
  EXPECT_EQ(CsvHeader({"A", "B c", "D"}), "A,B c,D\n");
}

TEST(Json, Values) {
  EXPECT_EQ(JsonValue(Null(CellType::kText)), "null");
  EXPECT_EQ(JsonValue(Make(CellType::kBoolean, 1)), "true");
  EXPECT_EQ(JsonValue(Make(CellType::kLong, -7)), "-7");
  EXPECT_EQ(JsonValue(Make(CellType::kCurrency, 35000)), "3.5");
  EXPECT_EQ(JsonValue(Make(CellType::kCurrency, 120000)), "12");
  EXPECT_EQ(JsonValue(Make(CellType::kCurrency, -1)), "-0.0001");
  EXPECT_EQ(JsonValue(Make(CellType::kSingle, 0, static_cast<float>(3.1))), "3.1");
  EXPECT_EQ(JsonValue(Make(CellType::kDouble, 0, 0.1)), "0.1");
  EXPECT_EQ(JsonValue(Make(CellType::kDouble, 0, std::numeric_limits<double>::infinity())),
            "null");
  EXPECT_EQ(JsonValue(Make(CellType::kDateTime, 0, 45413.75)), "\"2024-05-01T18:00:00\"");
  EXPECT_EQ(JsonValue(Make(CellType::kLongBinary, 0, 0, std::string("\x00\xff", 2))), "\"00FF\"");
  EXPECT_EQ(JsonValue(Text("a\"b\\c\n\x01 é")), "\"a\\\"b\\\\c\\n\\u0001 é\"");
  EXPECT_EQ(JsonValue(Text("")), "\"\"");
}

TEST(Json, Rows) {
  EXPECT_EQ(JsonRow({"elemento", "valor"}, {Text("x"), Null(CellType::kLong)}),
            "{\"elemento\":\"x\",\"valor\":null}\n");
}

}  // namespace
}  // namespace act::jetsql
