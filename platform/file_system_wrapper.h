// A FileSystem that hands every call to another one, for services that
// change a few operations and pass the rest on: each overrides only what it
// changes. Every method is forwarded, the ones with default bodies too, so
// that a question asked through a wrapper (FreeSpace, a file's stamp) gets
// the wrapped service's answer and not the interface's default.
#pragma once

#include "platform/file_system.h"

namespace act {

class FileSystemWrapper : public FileSystem {
 public:
  // target must outlive the wrapper and every file opened through it.
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}

  FileSystem& target() const { return target_; }

  bool FolderExists(const std::string& p) override { return target_.FolderExists(p); }
  bool FileExists(const std::string& p) override { return target_.FileExists(p); }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override {
    target_.CopyFolder(s, d, o);
  }
  void CopyFile(const std::string& s, const std::string& d, bool o) override {
    target_.CopyFile(s, d, o);
  }
  void MoveFolder(const std::string& s, const std::string& d) override { target_.MoveFolder(s, d); }
  void MoveFile(const std::string& s, const std::string& d) override { target_.MoveFile(s, d); }
  void ReplaceFile(const std::string& r, const std::string& n) override {
    target_.ReplaceFile(r, n);
  }
  void DeleteFolder(const std::string& p, bool f) override { target_.DeleteFolder(p, f); }
  void DeleteFile(const std::string& p, bool f) override { target_.DeleteFile(p, f); }
  void CreateFolder(const std::string& p) override { target_.CreateFolder(p); }
  uint32_t GetAttributes(const std::string& p) override { return target_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { target_.SetAttributes(p, a); }
  std::string GetFileVersion(const std::string& p) override { return target_.GetFileVersion(p); }
  std::vector<uint8_t> ReadFileBytes(const std::string& p) override {
    return target_.ReadFileBytes(p);
  }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& d) override {
    target_.WriteFileBytes(p, d);
  }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& p, bool w) override {
    return target_.OpenRandomAccess(p, w);
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return target_.CreateRandomAccess(p);
  }
  std::vector<std::string> ListFolder(const std::string& p) override {
    return target_.ListFolder(p);
  }
  bool IsSameOrInsideFolder(const std::string& p, const std::string& f) override {
    return target_.IsSameOrInsideFolder(p, f);
  }
  FileStamp GetFileStamp(const std::string& p) override { return target_.GetFileStamp(p); }
  void FlushFolder(const std::string& p) override { target_.FlushFolder(p); }
  std::unique_ptr<FileLock> LockFile(const std::string& p, uint64_t first, uint64_t n) override {
    return target_.LockFile(p, first, n);
  }
  std::optional<uint64_t> FreeSpace(const std::string& p) override { return target_.FreeSpace(p); }
  std::optional<uint64_t> AllocationUnit(const std::string& p) override {
    return target_.AllocationUnit(p);
  }
  void SetCopyProgress(
      std::function<void(const std::string& file, uint64_t bytes)> copied) override {
    target_.SetCopyProgress(std::move(copied));
  }

 private:
  FileSystem& target_;
};

}  // namespace act
