// Every value of every user table of the samples against mdb-reader, a
// second independent reader (tests/tools/dump.mjs), in a lossless form:
// dates to the millisecond, currency to the last digit, binary and OLE
// bytes in full, which mdb-export's text output cannot show.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "db/jet/table/database.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string DoubleBits(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  char buffer[20];
  std::snprintf(buffer, sizeof buffer, "%016llx", (unsigned long long)bits);
  return buffer;
}

// mdb-reader decodes the five bytes Windows-1252 leaves undefined as U+FFFD;
// Windows (and we) give U+0081, U+008D, U+008F, U+0090 and U+009D.
std::string LikeMdbReaderText(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = utf8[i];
    unsigned char d = i + 1 < utf8.size() ? utf8[i + 1] : 0;
    if (c == 0xC2 && (d == 0x81 || d == 0x8D || d == 0x8F || d == 0x90 || d == 0x9D)) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out += char(c);
    }
  }
  return out;
}

// The encoding of dump.mjs for one of our values.
std::string Encode(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kNull: return "N";
    case Value::Kind::kBoolean: return v.integer() ? "B:1" : "B:0";
    case Value::Kind::kByte: case Value::Kind::kInteger: case Value::Kind::kLong:
      return "D:" + DoubleBits(double(v.integer()));
    case Value::Kind::kSingle: case Value::Kind::kDouble: return "D:" + DoubleBits(v.real());
    case Value::Kind::kDateTime: {
      // JavaScript: Math.round((days - 25569) * 86400000).
      double ms = std::floor((v.real() - 25569) * 86400000.0 + 0.5);
      if (!(std::fabs(ms) <= 8.64e15)) return "T:NaN";
      return "T:" + std::to_string((long long)ms);
    }
    case Value::Kind::kCurrency: {
      int64_t s = v.integer();
      uint64_t m = s < 0 ? 0 - uint64_t(s) : uint64_t(s);
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "C:%s%llu.%04llu", s < 0 ? "-" : "",
                    (unsigned long long)(m / 10000), (unsigned long long)(m % 10000));
      return buffer;
    }
    case Value::Kind::kDecimal: return "C:" + v.bytes();
    case Value::Kind::kBinary: return "X:" + Hex(v.bytes());
    case Value::Kind::kText: return "S:" + Hex(LikeMdbReaderText(v.bytes()));
    case Value::Kind::kGuid: {
      // mdb-reader writes GUIDs in lower case without braces.
      std::string g = v.bytes().substr(1, v.bytes().size() - 2);
      for (char& c : g) c = char(std::tolower((unsigned char)c));
      return "S:" + Hex(g);
    }
    default: return "S:" + Hex(v.bytes());
  }
}

std::string Render(jet::Database& db) {
  std::string out;
  for (const auto& entry : db.tables()) {
    if (entry.is_system()) continue;
    out += "table " + entry.name + "\n";
    auto table = db.TableAt(entry.tdef_page);
    jet::TableScan scan(db.pager(), db.format(), *table);
    while (scan.Next()) {
      for (size_t i = 0; i < table->columns.size(); ++i) {
        if (i) out += '\t';
        out += Encode(scan.Get(i));
      }
      out += '\n';
    }
  }
  return out;
}

// Tables as blocks, keyed by name: mdb-reader lists the catalog in its own
// order.
std::map<std::string, std::string> Blocks(const std::string& text) {
  std::map<std::string, std::string> blocks;
  std::istringstream in(text);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("table ", 0) == 0) {
      current = line.substr(6);
      blocks[current];
    } else {
      blocks[current] += line + "\n";
    }
  }
  return blocks;
}

class ReaderCompare : public ::testing::TestWithParam<std::string> {};

TEST_P(ReaderCompare, EveryValueMatchesMdbReader) {
  ACT_REQUIRE_TOOL("mdb-reader");
  std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  std::string path = SamplePath(GetParam());
  CommandOutput theirs = RunCommand("node '" + tools + "/dump.mjs' '" + path + "'");
  ASSERT_TRUE(theirs.ok);
  jet::Database db(std::make_unique<HostFile>(path));
  auto ours = Blocks(Render(db)), expected = Blocks(theirs.out);
  ASSERT_EQ(expected.size(), ours.size());
  for (const auto& [name, rows] : expected) {
    ASSERT_TRUE(ours.count(name)) << name;
    EXPECT_EQ(rows, ours[name]) << GetParam() << " table " << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, ReaderCompare, ::testing::ValuesIn(SampleDatabases()));

}  // namespace
}  // namespace act::db::testing
