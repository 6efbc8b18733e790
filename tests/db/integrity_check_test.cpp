// The integrity check passes every sample (written by Access) and reports
// the damage planted in copies of them.
#include <gtest/gtest.h>

#include "db/jet/integrity_check.h"
#include "db/jet/memory_file.h"
#include "tests/db/host_file.h"

namespace act::db::testing {
namespace {

constexpr size_t kPage3 = 2048;

std::vector<std::string> Check(std::vector<uint8_t> bytes) {
  jet::Database db(std::make_unique<jet::MemoryFile>(std::move(bytes), "datos.mdb"));
  return jet::CheckIntegrity(db);
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

TEST(IntegrityCheckTest, EverySamplePasses) {
  for (const std::string& sample : SampleDatabases()) {
    EXPECT_EQ("", Joined(Check(ReadHostFile(SamplePath(sample))))) << sample;
  }
}

TEST(IntegrityCheckTest, ReportsPlantedDamage) {
  std::vector<uint8_t> original = ReadHostFile(SamplePath("jet3/testV1997.mdb"));

  std::vector<uint8_t> bytes = original;
  bytes[29 * kPage3 + 12] = 5;  // Table1's TDEF row count (2 rows)
  EXPECT_NE(std::string::npos, Joined(Check(bytes)).find("TDEF counts 5 rows, the table holds 2"));

  bytes = original;
  bytes[31 * kPage3 + 2] ^= 0x01;  // free space of Table1's data page
  EXPECT_NE(std::string::npos, Joined(Check(bytes)).find("data page 31 records"));

  bytes = original;
  bytes[33 * kPage3 + 248 + 1] = 0x61;  // key of "a" in Table1's primary key becomes "b"
  std::string problems = Joined(Check(bytes));
  EXPECT_NE(std::string::npos, problems.find("differs from its values")) << problems;
}

}  // namespace
}  // namespace act::db::testing
