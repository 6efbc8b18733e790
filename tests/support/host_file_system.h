// The engine's file-system service over plain host paths, for the database
// tests: files opened, created, read and deleted through stdio and
// std::filesystem (natively and under Wine alike), without the platform's
// backend and its drives. Everything else is refused with 70, so a test
// sees at once if the engine reaches for more.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::test {

// A host file opened for reading or, when writable, for writing too.
class HostFile : public RandomAccessFile {
 public:
  explicit HostFile(std::string path, bool writable = false);
  ~HostFile() override;
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

std::vector<uint8_t> ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A file whose name ends in ".ro" counts as read-only (70 on a writable
// open), so tests need no chmod, which root ignores. It counts how the
// engine opened files. kOnlyReads, for tests over the read-only samples,
// hands out files that refuse every write, whatever was asked.
class HostFileSystem : public FileSystem {
 public:
  enum Access { kReadsAndWrites, kOnlyReads };
  explicit HostFileSystem(Access access = kReadsAndWrites) : access_(access) {}

  bool FolderExists(const std::string&) override { return false; }
  bool FileExists(const std::string& path) override;
  void CopyFolder(const std::string&, const std::string&, bool) override { Refuse(); }
  void CopyFile(const std::string&, const std::string&, bool) override { Refuse(); }
  void MoveFolder(const std::string&, const std::string&) override { Refuse(); }
  void MoveFile(const std::string&, const std::string&) override { Refuse(); }
  void ReplaceFile(const std::string&, const std::string&) override { Refuse(); }
  void DeleteFolder(const std::string&, bool) override { Refuse(); }
  void DeleteFile(const std::string& path, bool force) override;
  void CreateFolder(const std::string&) override { Refuse(); }
  uint32_t GetAttributes(const std::string&) override { Refuse(); }
  void SetAttributes(const std::string&, uint32_t) override { Refuse(); }
  std::string GetFileVersion(const std::string&) override { Refuse(); }
  std::vector<uint8_t> ReadFileBytes(const std::string& path) override { return ReadHostFile(path); }
  void WriteFileBytes(const std::string&, const std::vector<uint8_t>&) override { Refuse(); }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string&) override { Refuse(); }
  void FlushFolder(const std::string&) override { Refuse(); }
  std::unique_ptr<FileLock> LockFile(const std::string&, uint64_t, uint64_t) override {
    Refuse();
  }
  bool IsSameOrInsideFolder(const std::string&, const std::string&) override { Refuse(); }

  int writable_opens = 0;
  int opens = 0;

 private:
  [[noreturn]] static void Refuse();
  Access access_;
};

}  // namespace act::test
