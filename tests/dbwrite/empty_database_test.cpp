// New empty databases: the embedded template is exactly what the
// derivation makes of the Access sample, and a database created from it
// opens in our engine (consistent, no user tables) and in mdbtools.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db/jet/check/consistency_check.h"
#include "db/jet/write/empty_database.h"
#include "tests/db/host_file.h"
#include "tests/dbwrite/write_fixture.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

TEST(EmptyDatabase, TemplateIsTheDerivationOfTheAccessSample) {
  auto derived = jet::DeriveEmptyTemplate(ReadHostFile(SamplePath("jet3/delTestV1997.mdb")),
                                          "delTestV1997.mdb");
  if (std::getenv("ACT_WRITE_EMPTY_TEMPLATE")) {
    WriteHostFile(std::string(ACT_SOURCE_DIR) + "/db/jet/write/empty_jet3.mdb", derived);
  }
  ASSERT_EQ(jet::kEmptyTemplatePages * 2048u, derived.size());
  EXPECT_TRUE(derived == jet::EmptyJet3Template())
      << "run this test with ACT_WRITE_EMPTY_TEMPLATE=1 to store the new derivation";
}

TEST(EmptyDatabase, NewDatabaseOpensConsistentAndEmpty) {
  std::string dir = ScratchDir("empty");
  HostFileSystem fs;
  std::string path = dir + "/nueva.mdb";
  jet::CreateDatabase(fs, path);
  EXPECT_THROW(jet::CreateDatabase(fs, path), act::Error);  // never overwrites
  jet::Database db(std::make_unique<HostFile>(path));
  EXPECT_TRUE(db.format().is_jet3());
  for (const auto& entry : db.tables()) EXPECT_TRUE(entry.is_system()) << entry.name;
  EXPECT_NE(nullptr, db.FindTable("MSysObjects"));
  auto faults = jet::Faults(jet::CheckDatabase(db));
  std::string all;
  for (const auto& f : faults) all += f.text() + "\n";
  EXPECT_TRUE(faults.empty()) << all;
  ACT_REQUIRE_TOOL("mdb-reader");
  ACT_REQUIRE_TOOL("mdb-tables");
  bool have_reader = false, failed = false;
  MdbReaderRows(path, "MSysObjects", &have_reader, &failed);
  EXPECT_FALSE(failed) << "mdb-reader cannot open the new database";
  CommandOutput tables = RunCommand("mdb-tables -1 '" + path + "'");
  EXPECT_TRUE(tables.ok);
  EXPECT_EQ("", tables.out);
  CommandOutput system = RunCommand("mdb-tables -S -1 '" + path + "'");
  EXPECT_NE(std::string::npos, system.out.find("MSysACEs")) << system.out;
}

}  // namespace
}  // namespace act::db::testing
