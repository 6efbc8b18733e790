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

namespace act::db::testing {

class WritableHostFile : public RandomAccessFile {
 public:
  WritableHostFile(std::string path, bool writable);
  ~WritableHostFile() override;
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override;
  void WriteAt(uint64_t offset, const void* data, size_t n) override;
  uint64_t Size() override;
  void Truncate(uint64_t size) override;
  void Sync() override;
  const std::string& path() const override { return path_; }

 private:
  std::string path_;
  bool writable_;
  std::FILE* file_;
};

// Opens host paths; a file whose name ends in ".ro" counts as read-only
// (error 70 on a writable open), so tests need no chmod (root ignores it).
class ScratchFileSystem : public FileSystem {
 public:
  bool FolderExists(const std::string&) override { return false; }
  bool FileExists(const std::string& path) override;
  void CopyFolder(const std::string&, const std::string&, bool) override { Refuse(); }
  void CopyFile(const std::string&, const std::string&, bool) override { Refuse(); }
  void MoveFolder(const std::string&, const std::string&) override { Refuse(); }
  void MoveFile(const std::string&, const std::string&) override { Refuse(); }
  void DeleteFolder(const std::string&, bool) override { Refuse(); }
  void DeleteFile(const std::string& path, bool force) override;
  void CreateFolder(const std::string&) override { Refuse(); }
  uint32_t GetAttributes(const std::string&) override { Refuse(); }
  void SetAttributes(const std::string&, uint32_t) override { Refuse(); }
  std::string GetFileVersion(const std::string&) override { Refuse(); }
  std::vector<uint8_t> ReadFileBytes(const std::string&) override { Refuse(); }
  void WriteFileBytes(const std::string&, const std::vector<uint8_t>&) override { Refuse(); }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string&) override { Refuse(); }
  void FlushFolder(const std::string&) override { Refuse(); }
  std::unique_ptr<FileLock> LockFile(const std::string&) override { return Refuse(), nullptr; }
  bool IsSameOrInsideFolder(const std::string&, const std::string&) override { Refuse(); }

 private:
  [[noreturn]] static void Refuse();
};

// A fresh scratch directory for one test.
std::string ScratchDir(const std::string& test_name);
// Copies jet3/<sample> to <dir>/<name> and returns the new path.
std::string CopySample(const std::string& sample, const std::string& dir, const std::string& name);

std::unique_ptr<jet::Database> OpenForWrite(ScratchFileSystem& fs, const std::string& path);

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
