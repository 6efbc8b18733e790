// Jet opens a database shared: while the carry-over holds the staged
// database open for its walk, an update and the append statements that name
// the file after IN open it again. Windows refuses a second handle that
// would write to a file open elsewhere in the process, so every open of one
// path goes through a single handle here, opened for reading and writing
// when the file allows it. A file opened read-only through this service
// still refuses writes, which is what keeps the installed database as it
// was.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace act {

class SharedFileSystem : public FileSystem {
 public:
  // kSyncsLeftToCaller: a file's Sync does nothing, the caller making the
  // files durable itself (FlushFolder) before anything relies on them; the
  // order of the writes is kept either way.
  enum Syncs { kSyncsPassedOn, kSyncsLeftToCaller };
  explicit SharedFileSystem(FileSystem& base, Syncs syncs = kSyncsPassedOn)
      : base_(base), syncs_(syncs) {}
  SharedFileSystem(const SharedFileSystem&) = delete;
  SharedFileSystem& operator=(const SharedFileSystem&) = delete;

  bool FolderExists(const std::string& p) override { return base_.FolderExists(p); }
  bool FileExists(const std::string& p) override { return base_.FileExists(p); }
  void CopyFolder(const std::string& a, const std::string& b, bool o) override { base_.CopyFolder(a, b, o); }
  void CopyFile(const std::string& a, const std::string& b, bool o) override { base_.CopyFile(a, b, o); }
  void MoveFolder(const std::string& a, const std::string& b) override { base_.MoveFolder(a, b); }
  void MoveFile(const std::string& a, const std::string& b) override { base_.MoveFile(a, b); }
  void DeleteFolder(const std::string& p, bool f) override { base_.DeleteFolder(p, f); }
  void DeleteFile(const std::string& p, bool f) override { base_.DeleteFile(p, f); }
  void CreateFolder(const std::string& p) override { base_.CreateFolder(p); }
  uint32_t GetAttributes(const std::string& p) override { return base_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { base_.SetAttributes(p, a); }
  std::string GetFileVersion(const std::string& p) override { return base_.GetFileVersion(p); }
  std::vector<uint8_t> ReadFileBytes(const std::string& p) override { return base_.ReadFileBytes(p); }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& b) override {
    base_.WriteFileBytes(p, b);
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return base_.CreateRandomAccess(p);
  }
  std::vector<std::string> ListFolder(const std::string& p) override { return base_.ListFolder(p); }
  void FlushFolder(const std::string& p) override { base_.FlushFolder(p); }
  std::unique_ptr<FileLock> LockFile(const std::string& p) override { return base_.LockFile(p); }
  bool IsSameOrInsideFolder(const std::string& p, const std::string& f) override {
    return base_.IsSameOrInsideFolder(p, f);
  }

  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;

 private:
  struct Handle;
  class View;
  FileSystem& base_;
  Syncs syncs_;
  // By path with letter case folded, as Windows names files. Entries are
  // dropped when their last view closes.
  std::map<std::string, std::weak_ptr<Handle>> open_;
};

}  // namespace act
