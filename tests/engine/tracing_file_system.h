// A FileSystem that hands every call to a real one and notes the
// FileSystemObject operations (not the byte-level primitives) in order, so a
// test can hold the run to its exact sequence of steps and arguments.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::test {

class TracingFileSystem : public FileSystem {
 public:
  explicit TracingFileSystem(FileSystem& inner) : inner_(inner) {}
  std::vector<std::string> trace;

  bool FolderExists(const std::string& p) override {
    bool yes = inner_.FolderExists(p);
    trace.push_back("FolderExists " + p + (yes ? " yes" : " no"));
    return yes;
  }
  bool FileExists(const std::string& p) override {
    bool yes = inner_.FileExists(p);
    trace.push_back("FileExists " + p + (yes ? " yes" : " no"));
    return yes;
  }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override {
    trace.push_back("CopyFolder " + s + " " + d + (o ? " true" : " false"));
    inner_.CopyFolder(s, d, o);
  }
  void CopyFile(const std::string& s, const std::string& d, bool o) override {
    trace.push_back("CopyFile " + s + " " + d + (o ? " true" : " false"));
    inner_.CopyFile(s, d, o);
  }
  void MoveFolder(const std::string& s, const std::string& d) override {
    trace.push_back("MoveFolder " + s + " " + d);
    inner_.MoveFolder(s, d);
  }
  void MoveFile(const std::string& s, const std::string& d) override {
    trace.push_back("MoveFile " + s + " " + d);
    inner_.MoveFile(s, d);
  }
  void DeleteFolder(const std::string& p, bool f) override {
    trace.push_back("DeleteFolder " + p + (f ? " true" : " false"));
    inner_.DeleteFolder(p, f);
  }
  void DeleteFile(const std::string& p, bool f) override {
    trace.push_back("DeleteFile " + p + (f ? " true" : " false"));
    inner_.DeleteFile(p, f);
  }
  void CreateFolder(const std::string& p) override {
    trace.push_back("CreateFolder " + p);
    inner_.CreateFolder(p);
  }
  uint32_t GetAttributes(const std::string& p) override {
    trace.push_back("GetAttributes " + p);
    return inner_.GetAttributes(p);
  }
  void SetAttributes(const std::string& p, uint32_t a) override {
    trace.push_back("SetAttributes " + p + " " + std::to_string(a));
    inner_.SetAttributes(p, a);
  }
  std::string GetFileVersion(const std::string& p) override {
    trace.push_back("GetFileVersion " + p);
    return inner_.GetFileVersion(p);
  }
  std::vector<uint8_t> ReadFileBytes(const std::string& p) override {
    return inner_.ReadFileBytes(p);
  }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& d) override {
    inner_.WriteFileBytes(p, d);
  }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& p, bool w) override {
    return inner_.OpenRandomAccess(p, w);
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return inner_.CreateRandomAccess(p);
  }
  std::vector<std::string> ListFolder(const std::string& p) override {
    return inner_.ListFolder(p);
  }
  void FlushFolder(const std::string& p) override { inner_.FlushFolder(p); }
  bool IsSameOrInsideFolder(const std::string& p, const std::string& f) override {
    return inner_.IsSameOrInsideFolder(p, f);
  }

 private:
  FileSystem& inner_;
};

}  // namespace act::test
