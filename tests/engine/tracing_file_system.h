// A FileSystem that hands every call to a real one and notes, in order, the
// existence tests and every call that changes the drive (byte-level writes
// included) with its paths, so that a test can check the run's rules.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system_wrapper.h"

namespace act::test {

class TracingFileSystem : public FileSystemWrapper {
 public:
  explicit TracingFileSystem(FileSystem& inner) : FileSystemWrapper(inner), inner_(inner) {}
  struct Call {
    std::string op, path;
    std::string destination;  // of a copy or a move
    std::string detail;       // a flag or a value given: "true", "0"
    bool operator==(const Call&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Call& c) {
      return os << c.op << " " << c.path << " " << c.destination << " " << c.detail;
    }
  };
  std::vector<Call> calls;

  bool FolderExists(const std::string& p) override { return Noted("FolderExists", p).FolderExists(p); }
  bool FileExists(const std::string& p) override { return Noted("FileExists", p).FileExists(p); }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override {
    Noted("CopyFolder", s, d, o ? "true" : "false").CopyFolder(s, d, o);
  }
  void CopyFile(const std::string& s, const std::string& d, bool o) override {
    Noted("CopyFile", s, d, o ? "true" : "false").CopyFile(s, d, o);
  }
  void MoveFolder(const std::string& s, const std::string& d) override {
    Noted("MoveFolder", s, d).MoveFolder(s, d);
  }
  void MoveFile(const std::string& s, const std::string& d) override {
    Noted("MoveFile", s, d).MoveFile(s, d);
  }
  void ReplaceFile(const std::string& r, const std::string& n) override {
    Noted("ReplaceFile", r, n).ReplaceFile(r, n);
  }
  void DeleteFolder(const std::string& p, bool f) override {
    Noted("DeleteFolder", p, "", f ? "true" : "false").DeleteFolder(p, f);
  }
  void DeleteFile(const std::string& p, bool f) override {
    Noted("DeleteFile", p, "", f ? "true" : "false").DeleteFile(p, f);
  }
  void CreateFolder(const std::string& p) override { Noted("CreateFolder", p).CreateFolder(p); }
  void SetAttributes(const std::string& p, uint32_t a) override {
    Noted("SetAttributes", p, "", std::to_string(a)).SetAttributes(p, a);
  }
  void WriteFileBytes(const std::string& p, const std::vector<uint8_t>& d) override {
    Noted("WriteFileBytes", p).WriteFileBytes(p, d);
  }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& p, bool w) override {
    return (w ? Noted("OpenRandomAccess", p, "", "writable") : inner_).OpenRandomAccess(p, w);
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& p) override {
    return Noted("CreateRandomAccess", p).CreateRandomAccess(p);
  }
  std::unique_ptr<FileLock> LockFile(const std::string& p, uint64_t first, uint64_t n) override {
    return Noted("LockFile", p).LockFile(p, first, n);
  }

 private:
  // Questions and reads pass on unnoted (FileSystemWrapper).
  // Notes the call and gives the file system that makes it.
  FileSystem& Noted(const char* op, const std::string& path, const std::string& destination = "",
                    const std::string& detail = "") {
    calls.push_back({op, path, destination, detail});
    return inner_;
  }
  FileSystem& inner_;
};

}  // namespace act::test
