#include "tests/db/host_file.h"

#include <algorithm>
#include <stdexcept>

#include "platform/error.h"

namespace act::db::testing {

std::string SampleDir() { return std::string(ACT_TEST_DATA_DIR) + "/jet"; }

std::string SamplePath(const std::string& relative) { return SampleDir() + "/" + relative; }

std::vector<std::string> SampleDatabases() {
  return {"jet3/compIndexTestV1997.mdb", "jet3/delTestV1997.mdb",
          "jet3/indexTestV1997.mdb",     "jet3/nwind.mdb",
          "jet3/overflowTestV1997.mdb",  "jet3/test2V1997.mdb",
          "jet3/testIndexCodesV1997.mdb", "jet3/testV1997.mdb",
          "jet4/compIndexTestV2000.mdb", "jet4/DateTestDatabase.mdb",
          "jet4/emptyV2000.mdb",         "jet4/indexTestV2000.mdb"};
}

CommandOutput RunCommand(const std::string& command) {
  CommandOutput result;
#ifdef _WIN32
  (void)command;
  return result;
#else
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  result.ok = pclose(pipe) == 0;
  return result;
#endif
}

bool HaveCommand(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null 2>&1").ok;
}

bool HaveTool(const std::string& name) {
  if (name != "mdb-reader") return HaveCommand(name);
  const std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  return HaveCommand("node") && RunCommand("test -d '" + tools + "/node_modules/mdb-reader'").ok;
}

}  // namespace act::db::testing
