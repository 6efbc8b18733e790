// Test helpers: open files of the host directly (read-only, or as a
// temporary writable copy), without the platform's file-system backend, and
// the list of sample databases.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::db::testing {

// A read-only RandomAccessFile over a host file (stdio, so that it works
// natively and under Wine alike).
class HostFile : public RandomAccessFile {
 public:
  explicit HostFile(std::string path);
  ~HostFile() override;
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override;
  void WriteAt(uint64_t, const void*, size_t) override;
  uint64_t Size() override;
  void Truncate(uint64_t) override;
  void Sync() override {}
  const std::string& path() const override { return path_; }

 private:
  std::string path_;
  std::FILE* file_;
};

std::vector<uint8_t> ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A FileSystem that only opens host files for reading, recording how it was
// asked: enough for the engine, without the platform's backend.
class HostFileSystem : public FileSystem {
 public:
  bool FolderExists(const std::string&) override { return false; }
  bool FileExists(const std::string& path) override;
  void CopyFolder(const std::string&, const std::string&, bool) override { Refuse(); }
  void CopyFile(const std::string&, const std::string&, bool) override { Refuse(); }
  void MoveFolder(const std::string&, const std::string&) override { Refuse(); }
  void MoveFile(const std::string&, const std::string&) override { Refuse(); }
  void DeleteFolder(const std::string&, bool) override { Refuse(); }
  void DeleteFile(const std::string&, bool) override { Refuse(); }
  void CreateFolder(const std::string&) override { Refuse(); }
  uint32_t GetAttributes(const std::string&) override { Refuse(); }
  void SetAttributes(const std::string&, uint32_t) override { Refuse(); }
  std::string GetFileVersion(const std::string&) override { Refuse(); }
  std::vector<uint8_t> ReadFileBytes(const std::string& path) override { return ReadHostFile(path); }
  void WriteFileBytes(const std::string&, const std::vector<uint8_t>&) override { Refuse(); }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string&) override { Refuse(); }
  std::vector<std::string> ListFolder(const std::string&) override { Refuse(); }
  void FlushFolder(const std::string&) override { Refuse(); }
  std::unique_ptr<FileLock> LockFile(const std::string&) override { return Refuse(), nullptr; }
  bool IsSameOrInsideFolder(const std::string&, const std::string&) override { Refuse(); }

  int writable_opens = 0;
  int opens = 0;

 private:
  [[noreturn]] static void Refuse();
};

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
