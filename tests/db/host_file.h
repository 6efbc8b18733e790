// Test helpers: the sample databases, and commands run on the host.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/host_file_system.h"

namespace act::db::testing {

// The host files and the file-system service over them, shared with the
// other suites.
using act::test::HostFile;
using act::test::HostFileSystem;
using act::test::ReadHostFile;
using act::test::WriteHostFile;

// Paths of the Access-written sample databases in tests/data/jet.
std::string SampleDir();
std::vector<std::string> SampleDatabases();  // jet3/*.mdb then jet4/*.mdb
std::string SamplePath(const std::string& relative);  // "jet3/testV1997.mdb"

// Output of a shell command, or nullopt-like empty with ok=false when the
// command cannot run (no mdb-export under Wine).
struct CommandOutput {
  bool ok = false;
  std::string out;
};
CommandOutput RunCommand(const std::string& command);
bool HaveCommand(const std::string& name);
// A peer tool the comparisons use: a command, or "mdb-reader" (node with
// the package installed in tests/tools).
bool HaveTool(const std::string& name);

}  // namespace act::db::testing
