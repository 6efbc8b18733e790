// Text forms of values, as the statements of the carry-over embed them, and
// a database stored with a database key (every page but the header
// scrambled), which must read exactly like its clear copy.
#include <gtest/gtest.h>

#include "db/jet/file/format.h"
#include "db/jet/file/header.h"
#include "db/jet/file/rc4.h"
#include "db/value.h"
#include "tests/db/host_file.h"
#include "tests/db/read_everything.h"

namespace act::db::testing {
namespace {

TEST(ValueTest, TextForms) {
  EXPECT_EQ("", Value::Null().ToText());
  EXPECT_EQ("it's", Value::Text("it's").ToText());
  EXPECT_EQ("-2147483648", Value::Long(INT32_MIN).ToText());
  EXPECT_EQ("255", Value::Byte(255).ToText());
  EXPECT_EQ("-32768", Value::Integer(-32768).ToText());
  EXPECT_EQ("3.5", Value::Currency(35000).ToText());
  EXPECT_EQ("-0.0001", Value::Currency(-1).ToText());
  EXPECT_EQ("922337203685477.5807", Value::Currency(INT64_MAX).ToText());
  EXPECT_EQ("0.1", Value::Double(0.1).ToText());
  EXPECT_EQ("444.555", Value::Double(444.555).ToText());
  EXPECT_EQ("1", Value::Boolean(true).ToText());
  EXPECT_TRUE(Value::Long(0).is_number());
  EXPECT_FALSE(Value::Text("0").is_number());
  EXPECT_EQ(3.5, Value::Currency(35000).AsDouble());
}

TEST(KeyedDatabaseTest, ReadsLikeItsClearCopy) {
  std::vector<uint8_t> clear = ReadHostFile(SamplePath("jet3/testIndexCodesV1997.mdb"));
  std::vector<uint8_t> keyed = clear;
  const uint32_t key = 0x1234ABCD;
  const jet::Format& format = jet::Jet3Format();
  jet::ToggleHeaderMask(format, keyed.data());
  for (int i = 0; i < 4; ++i) keyed[0x3E + i] = uint8_t(key >> (8 * i));
  jet::ToggleHeaderMask(format, keyed.data());
  for (size_t page = 1; page * format.page_size < keyed.size(); ++page) {
    uint32_t k = key ^ uint32_t(page);
    const uint8_t page_key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
    jet::Rc4Xor(page_key, std::span<uint8_t>(keyed.data() + page * format.page_size,
                                             format.page_size));
  }
  ASSERT_NE(clear, keyed);
  ReadTotals a = ReadEverything(clear), b = ReadEverything(keyed);
  EXPECT_EQ(a.tables, b.tables);
  EXPECT_EQ(a.rows, b.rows);
  EXPECT_EQ(a.index_entries, b.index_entries);
  EXPECT_GT(b.rows, 1000u);
}

}  // namespace
}  // namespace act::db::testing
