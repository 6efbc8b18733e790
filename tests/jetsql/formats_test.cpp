// The CSV (mdb-export's form) and JSON forms of single values and rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tools/jetsql/formats.h"

namespace act::jetsql {
namespace {

using db::Value;

Value Text(std::string s) { return Value::Text(std::move(s)); }

TEST(Csv, NumbersAsMdbExportPrintsThem) {
  EXPECT_EQ(CsvValue(Value::Boolean(true)), "1");
  EXPECT_EQ(CsvValue(Value::Boolean(false)), "0");
  EXPECT_EQ(CsvValue(Value::Byte(255)), "255");
  EXPECT_EQ(CsvValue(Value::Integer(-32768)), "-32768");
  EXPECT_EQ(CsvValue(Value::Long(333333333)), "333333333");
  EXPECT_EQ(CsvValue(Value::Double(444.555)), "444.555");
  EXPECT_EQ(CsvValue(Value::Double(0.1)), "0.1");
  EXPECT_EQ(CsvValue(Value::Double(1.0 / 3)), "0.3333333333333333");
  EXPECT_EQ(CsvValue(Value::Double(1e20)), "1e+20");
  EXPECT_EQ(CsvValue(Value::Single(3.1f)), "3.0999999");
  EXPECT_EQ(CsvValue(Value::Currency(35000)), "3.5000");
  EXPECT_EQ(CsvValue(Value::Currency(0)), "0.0000");
  EXPECT_EQ(CsvValue(Value::Currency(-1)), "-0.0001");
  EXPECT_EQ(CsvValue(Value::Currency(std::numeric_limits<std::int64_t>::min())),
            "-922337203685477.5808");
}

TEST(Csv, QuotedKinds) {
  EXPECT_EQ(CsvValue(Text("abc")), "\"abc\"");
  EXPECT_EQ(CsvValue(Text("say \"hi\", now\n")), "\"say \"\"hi\"\", now\n\"");
  EXPECT_EQ(CsvValue(Text("ñandú")), "\"ñandú\"");
  EXPECT_EQ(CsvValue(Value::DateTime(29932.0)), "\"12/12/81 00:00:00\"");
  EXPECT_EQ(CsvValue(Value::DateTime(45413.75)), "\"05/01/24 18:00:00\"");
  EXPECT_EQ(CsvValue(Value::Binary(std::string("a\"\0b", 4))),
            std::string("\"a\"\"\0b\"", 7));
  EXPECT_EQ(CsvValue(Value::Guid("{00112233-4455-6677-8899-AABBCCDDEEFF}")),
            "\"{00112233-4455-6677-8899AABBCCDDEEFF}\"");
  EXPECT_EQ(JsonValue(Value::Guid("{00112233-4455-6677-8899-AABBCCDDEEFF}")),
            "\"{00112233-4455-6677-8899-AABBCCDDEEFF}\"");
  // Jet 4 decimals print bare, as numbers.
  EXPECT_EQ(CsvValue(Value::Decimal("-12.340")), "-12.340");
}

TEST(Csv, DatesKeepMdbExportsQuirks) {
  // Before 1899-12-30 mdb-export prints an empty calendar; JSON does not.
  EXPECT_EQ(MdbExportDate(-1.25), "01/00/00 00:00:00");
  EXPECT_EQ(IsoDate(-1.25), "1899-12-29T06:00:00");
  EXPECT_EQ(MdbExportDate(1e6 + 1), "01/00/00 00:00:00");
  // A time within half a second of midnight rounds to 24:00:00, same day.
  EXPECT_EQ(MdbExportDate(1.0 + 86399.7 / 86400), "12/31/99 24:00:00");
  EXPECT_EQ(IsoDate(1.0 + 86399.7 / 86400), "1900-01-01T00:00:00");
  EXPECT_EQ(MdbExportDate(0.5), "12/30/99 12:00:00");
}

TEST(Csv, NullAndEmptyPrintNothing) {
  EXPECT_EQ(CsvValue(Value::Null()), "");
  EXPECT_EQ(CsvValue(Value::Null()), "");
  EXPECT_EQ(CsvValue(Text("")), "");
  EXPECT_EQ(CsvRow({Text("a"), Value::Null(), Value::Long(2)}), "\"a\",,2\n");
  EXPECT_EQ(CsvHeader({"A", "B c", "D"}), "A,B c,D\n");
}

TEST(Json, Values) {
  EXPECT_EQ(JsonValue(Value::Null()), "null");
  EXPECT_EQ(JsonValue(Value::Boolean(true)), "true");
  EXPECT_EQ(JsonValue(Value::Long(-7)), "-7");
  EXPECT_EQ(JsonValue(Value::Currency(35000)), "3.5");
  EXPECT_EQ(JsonValue(Value::Currency(120000)), "12");
  EXPECT_EQ(JsonValue(Value::Currency(-1)), "-0.0001");
  EXPECT_EQ(JsonValue(Value::Single(3.1f)), "3.1");
  EXPECT_EQ(JsonValue(Value::Double(0.1)), "0.1");
  EXPECT_EQ(JsonValue(Value::Double(std::numeric_limits<double>::infinity())),
            "null");
  EXPECT_EQ(JsonValue(Value::DateTime(45413.75)), "\"2024-05-01T18:00:00\"");
  EXPECT_EQ(JsonValue(Value::Binary(std::string("\x00\xff", 2))), "\"00FF\"");
  EXPECT_EQ(JsonValue(Text("a\"b\\c\n\x01 é")), "\"a\\\"b\\\\c\\n\\u0001 é\"");
  EXPECT_EQ(JsonValue(Text("")), "\"\"");
}

TEST(Json, Rows) {
  EXPECT_EQ(JsonRow({"elemento", "valor"}, {Text("x"), Value::Null()}),
            "{\"elemento\":\"x\",\"valor\":null}\n");
}

}  // namespace
}  // namespace act::jetsql
