// The column properties the engine enforces (Required, AllowZeroLength),
// read from every user table of every sample (Jet 3 "KKD" and Jet 4 "MR2"
// blobs, all written by Access), against what mdb-prop reads from them.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>

#include "db/jet/table/column_properties.h"
#include "db/jet/table/database.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"
#include "tests/support/peer_tools.h"

namespace act::db::testing {
namespace {

// mdb-prop's listing as column -> property -> value ("(none)" is the table).
std::map<std::string, std::map<std::string, std::string>> MdbProp(const std::string& path,
                                                                  const std::string& table) {
  std::map<std::string, std::map<std::string, std::string>> out;
  CommandOutput listing = RunCommand("mdb-prop '" + path + "' '" + table + "' 2>/dev/null");
  std::istringstream in(listing.out);
  std::string column;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("name: ", 0) == 0) {
      column = line.substr(6);
      out[column];
    } else if (line.size() > 1 && line[0] == '\t') {
      size_t colon = line.find(": ");
      if (colon != std::string::npos) out[column][line.substr(1, colon - 1)] = line.substr(colon + 2);
    }
  }
  return out;
}

class PropertyCompare : public ::testing::TestWithParam<std::string> {};

TEST_P(PropertyCompare, RequiredAndAllowZeroLengthMatchMdbProp) {
  ACT_REQUIRE_TOOL("mdb-prop");
  const std::string path = SamplePath(GetParam());
  jet::Database db(std::make_unique<HostFile>(path));
  // mdb-prop reads the first catalogue object of a name: where a form or a
  // report shares a table's name (Northwind's "Categories"), it lists that
  // object's properties instead of the table's.
  std::map<std::string, int> objects_named;
  {
    auto catalog = db.Table("MSysObjects");
    jet::TableScan scan(db.pager(), db.format(), *catalog);
    size_t name = 0;
    while (catalog->columns[name].name != "Name") ++name;
    while (scan.Next()) ++objects_named[scan.Get(name).bytes()];
  }
  int compared = 0;
  for (const jet::CatalogEntry& entry : db.tables()) {
    if (entry.is_system() || objects_named[entry.name] > 1) continue;
    auto ours = jet::ReadColumnProperties(db, entry.tdef_page);
    auto theirs = MdbProp(path, entry.name);
    theirs.erase("(none)");
    EXPECT_EQ(theirs.size(), ours.size()) << entry.name;
    for (const auto& [column, props] : theirs) {
      auto found = ours.find(column);
      ASSERT_NE(ours.end(), found) << entry.name << "." << column;
      auto required = props.find("Required");
      if (required != props.end()) {
        EXPECT_EQ(required->second == "yes", found->second.required) << entry.name << "." << column;
        ++compared;
      }
      auto zero_length = props.find("AllowZeroLength");
      if (zero_length != props.end()) {
        EXPECT_EQ(zero_length->second == "yes", found->second.allow_zero_length)
            << entry.name << "." << column;
        ++compared;
      }
    }
  }
  RecordProperty("compared", compared);
}

INSTANTIATE_TEST_SUITE_P(Samples, PropertyCompare, ::testing::ValuesIn(SampleDatabases()),
                         [](const auto& info) {
                           std::string name = info.param.substr(info.param.rfind('/') + 1);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace act::db::testing
