// actualizador-cli updating an installation whose datos.mdb holds real
// data: after the run the promoted database is read back by mdb-export and
// mdb-reader, two readers that are not ours, and passes the engine's own
// consistency check; the old database sits unchanged in the backup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "db/jet/check/consistency_check.h"
#include "db/jet/table/database.h"
#include "tests/engine/run_fixture.h"
#include "tests/db/host_file.h"
#include "tests/support/carry_over_databases.h"
#include "tests/support/peer_tools.h"
#include "tests/support/temp_drive.h"

namespace act::test {
namespace {

using db::testing::HaveCommand;
using db::testing::RunCommand;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

class CliCarryOver : public RunTest {
 protected:
  int RunCli() {
    std::string command = "\"" + act::testing::HostFile(ACT_CLI_PATH) + "\" --drive " + drive;
#ifdef _WIN32
    command += " --origin " + origin + " >NUL 2>NUL";
    return std::system(command.c_str());
#else
    command += " --origin '" + origin + "' --prefix '" + drives_.prefix() + "' >/dev/null 2>&1";
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  }
};

TEST_F(CliCarryOver, PromotedDatabaseHoldsTheCarriedRows) {
  MakeSample("2.0.0.0", "3.0.0.0");
  fs().DeleteFile(Installed("\\datos.mdb"), true);
  WriteCarryOverDatabase(fs(), Installed("\\datos.mdb"), InstalledContent(200));
  fs().DeleteFile(origin + "\\zentaroDeck_NEW\\datos.new", true);
  WriteCarryOverDatabase(fs(), origin + "\\zentaroDeck_NEW\\datos.new", PackageContent());
  const std::vector<uint8_t> installed_bytes = fs().ReadFileBytes(Installed("\\datos.mdb"));

  ASSERT_EQ(RunCli(), 0);

  const std::string promoted = Installed("\\datos.mdb");
  EXPECT_TRUE(fs().ReadFileBytes(drive + "\\SOPORTE\\zentaroDeck_2.0.0.0\\datos.mdb") ==
              installed_bytes);
  {
    auto db = db::jet::Database::Open(fs(), promoted, false);
    for (const auto& f : db::jet::Faults(db::jet::CheckDatabase(*db)))
      ADD_FAILURE() << f.text();
  }

  ACT_REQUIRE_TOOL("mdb-export");
  ACT_REQUIRE_TOOL("mdb-reader");
#ifndef _WIN32
  const std::string host = drives_.ShellRoot(0) + "/zentaroDeck/datos.mdb";
  auto config = Lines(RunCommand("mdb-export -D '%Y' '" + host + "' configuracion").out);
  std::set<std::string> rows(config.begin() + 1, config.end());
  rows.erase("");
  std::set<std::string> expected = {
      "\"versionBD\",\"4.0\",40",         "\"VersionCLI\",\"4.0.0\",400",
      "\"idioma\",\"español\",1",          "\"volumen\",,85",
      "\"saludo\",\"Don't Stop\",-3",     "\"creditos\",,1200",
      "\"tema\",\"oscuro\",7",            "\"novedad\",\"sólo en la 4.0\",4",
      "\"lista'favorita\",\"rock\",11"};
  EXPECT_EQ(rows, expected);

  auto songs = Lines(RunCommand("mdb-export '" + host + "' canciones").out);
  ASSERT_GE(songs.size(), 201u);
  std::set<std::string> ids;
  int shipped = 0;
  for (size_t i = 1; i < songs.size(); ++i) {
    if (songs[i].empty()) continue;
    ids.insert(songs[i].substr(0, songs[i].find(',')));
    shipped += songs[i].find("(paquete)") != std::string::npos;
  }
  EXPECT_EQ(ids.size(), 200u);
  EXPECT_EQ(shipped, 3);
  EXPECT_NE(RunCommand("mdb-export '" + host + "' canciones").out.find("Canción de la montaña nº 200"),
            std::string::npos);

  const std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  auto dump = Lines(RunCommand("node '" + tools + "/dump.mjs' '" + host + "'").out);
  std::map<std::string, int> counts;
  std::string table;
  for (const std::string& line : dump) {
    if (line.rfind("table ", 0) == 0) table = line.substr(6);
    else if (!line.empty()) ++counts[table];
  }
  std::map<std::string, int> expected_counts = {
      {"configuracion", 9}, {"canciones", 200}, {"informacion_cd", 13}, {"generos", 7},
      {"genero_album", 8},  {"publicidad", 6},  {"dinero", 9}};
  EXPECT_EQ(counts, expected_counts);
  // mdb-export prints Null and the empty text alike; mdb-reader tells them
  // apart: the installed Null arrived as the empty text.
  auto hex = [](const std::string& s) {
    std::string out;
    for (unsigned char c : s) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
  };
  EXPECT_NE(std::find(dump.begin(), dump.end(),
                      "S:" + hex("creditos") + "\tS:\tD:" + "4092c00000000000"),
            dump.end());
#endif
}

}  // namespace
}  // namespace act::test
