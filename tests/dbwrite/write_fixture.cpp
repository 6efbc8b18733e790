#include "tests/dbwrite/write_fixture.h"

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif
#include <sstream>

#include "platform/error.h"
#include "tests/db/host_file.h"

namespace act::db::testing {

namespace {

long ProcessId() {
#ifdef _WIN32
  return long(_getpid());
#else
  return long(getpid());
#endif
}

}  // namespace

std::string ScratchDir(const std::string& test_name) {
  // The process id keeps runs of the same test (other worktrees, parallel
  // CTest) out of each other's files.
  auto dir = std::filesystem::temp_directory_path() /
             ("act_dbwrite_" + test_name + "_" + std::to_string(ProcessId()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string CopySample(const std::string& sample, const std::string& dir, const std::string& name) {
  std::string to = dir + "/" + name;
  WriteHostFile(to, ReadHostFile(SamplePath(sample)));
  return to;
}

std::unique_ptr<jet::Database> OpenForWrite(HostFileSystem& fs, const std::string& path) {
  return jet::Database::Open(fs, path, true);
}

std::string MdbExport(const std::string& path, const std::string& table, bool* ok) {
  *ok = HaveCommand("mdb-export");
  if (!*ok) return "";
  CommandOutput out = RunCommand("mdb-export '" + path + "' '" + table + "'");
  *ok = out.ok;
  return out.out;
}

int MdbExportRowCount(const std::string& path, const std::string& table) {
  CommandOutput out = RunCommand("mdb-count '" + path + "' '" + table + "'");
  if (!out.ok) return -1;
  return std::stoi(out.out);
}

std::vector<std::string> MdbReaderRows(const std::string& path, const std::string& table, bool* ok,
                                       bool* failed) {
  std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  *ok = HaveCommand("node") && RunCommand("test -d '" + tools + "/node_modules/mdb-reader'").ok;
  *failed = false;
  std::vector<std::string> rows;
  if (!*ok) return rows;
  CommandOutput out = RunCommand("node '" + tools + "/dump.mjs' '" + path + "'");
  if (!out.ok) {
    *failed = true;
    return rows;
  }
  std::istringstream in(out.out);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("table ", 0) == 0) {
      inside = line.substr(6) == table;
      continue;
    }
    if (inside) rows.push_back(line);
  }
  return rows;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace act::db::testing
