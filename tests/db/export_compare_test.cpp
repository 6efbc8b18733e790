// Every row of every table of the sample databases, as our engine reads it,
// against what mdb-export (an independent reader) prints for the same table.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "db/jet/table/database.h"
#include "tests/db/host_file.h"
#include "tests/db/mdb_export_format.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

std::unique_ptr<jet::Database> OpenSample(const std::string& relative) {
  return std::make_unique<jet::Database>(std::make_unique<HostFile>(SamplePath(relative)));
}

std::string FirstDifference(const std::string& ours, const std::string& theirs) {
  std::istringstream a(ours), b(theirs);
  std::string la, lb;
  for (int line = 1;; ++line) {
    bool ga = bool(std::getline(a, la)), gb = bool(std::getline(b, lb));
    if (!ga && !gb) return "";
    if (la != lb || ga != gb) {
      return "line " + std::to_string(line) + "\n ours:   " + la.substr(0, 300) +
             "\n theirs: " + lb.substr(0, 300);
    }
  }
}

class ExportCompare : public ::testing::TestWithParam<std::string> {};

TEST_P(ExportCompare, UserTablesMatchMdbExport) {
  ACT_REQUIRE_TOOL("mdb-export");
  auto db = OpenSample(GetParam());
  std::string path = SamplePath(GetParam());
  CommandOutput listed = RunCommand("mdb-tables -1 '" + path + "'");
  ASSERT_TRUE(listed.ok);
  // mdb-tables lists moved catalog rows where their bodies lie; compare the
  // names, not the order.
  std::vector<std::string> ours_listed, theirs_listed;
  for (const auto& entry : db->tables()) {
    if (!entry.is_system()) ours_listed.push_back(entry.name);
  }
  std::istringstream lines(listed.out);
  for (std::string line; std::getline(lines, line);) theirs_listed.push_back(line);
  std::sort(ours_listed.begin(), ours_listed.end());
  std::sort(theirs_listed.begin(), theirs_listed.end());
  EXPECT_EQ(ours_listed, theirs_listed);
  for (const auto& entry : db->tables()) {
    if (entry.is_system()) continue;
    CommandOutput theirs = RunCommand("mdb-export '" + path + "' '" + entry.name + "'");
    ASSERT_TRUE(theirs.ok) << entry.name;
    std::string ours = RenderLikeMdbExport(*db, entry.name);
    EXPECT_EQ("", FirstDifference(ours, theirs.out)) << GetParam() << " table " << entry.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, ExportCompare, ::testing::ValuesIn(SampleDatabases()));

}  // namespace
}  // namespace act::db::testing
