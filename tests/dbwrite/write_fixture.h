// Test helpers for the writer: host files opened for writing, a file system
// over host paths (enough for Database::Open and INSERT ... IN), scratch
// copies of the sample databases, and read-backs through mdb-export.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/table/database.h"
#include "platform/file_system.h"
#include "tests/db/host_file.h"

namespace act::db::testing {

// A fresh scratch directory for one test.
std::string ScratchDir(const std::string& test_name);
// Copies jet3/<sample> to <dir>/<name> and returns the new path.
std::string CopySample(const std::string& sample, const std::string& dir, const std::string& name);

std::unique_ptr<jet::Database> OpenForWrite(HostFileSystem& fs, const std::string& path);

// mdb-export's CSV of a table (header line included), or "" when the tool
// is missing; *ok tells which.
std::string MdbExport(const std::string& path, const std::string& table, bool* ok);
// The number of data lines mdb-export prints for the table.
int MdbExportRowCount(const std::string& path, const std::string& table);

// The lines of a text, sorted (readers may list rows in other orders).
std::vector<std::string> SortedLines(const std::string& text);

// The rows mdb-reader (npm, in tests/tools) finds in the table, each as
// dump.mjs prints it; nullopt-like ok=false when node or mdb-reader is
// missing. A file mdb-reader cannot open makes the command fail: *ok true,
// *failed true.
std::vector<std::string> MdbReaderRows(const std::string& path, const std::string& table, bool* ok,
                                       bool* failed);

}  // namespace act::db::testing
