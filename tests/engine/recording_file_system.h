// A FileSystem with a fixed set of existing paths that logs the existence
// tests and copies the manifest copies make; every other operation fails the
// test, since those stages must not use it.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::test {

class RecordingFileSystem : public FileSystem {
 public:
  std::set<std::string> folders, files;
  std::vector<std::string> calls;

  bool FolderExists(const std::string& p) override {
    calls.push_back("FolderExists " + p);
    return folders.count(p) != 0;
  }
  bool FileExists(const std::string& p) override {
    calls.push_back("FileExists " + p);
    return files.count(p) != 0;
  }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override {
    calls.push_back("CopyFolder " + s + " -> " + d + (o ? " overwrite" : ""));
  }
  void CopyFile(const std::string& s, const std::string& d, bool o) override {
    calls.push_back("CopyFile " + s + " -> " + d + (o ? " overwrite" : ""));
  }
  void MoveFolder(const std::string&, const std::string&) override { Unexpected("MoveFolder"); }
  void MoveFile(const std::string&, const std::string&) override { Unexpected("MoveFile"); }
  void DeleteFolder(const std::string&, bool) override { Unexpected("DeleteFolder"); }
  void DeleteFile(const std::string&, bool) override { Unexpected("DeleteFile"); }
  void CreateFolder(const std::string&) override { Unexpected("CreateFolder"); }
  uint32_t GetAttributes(const std::string&) override { return Unexpected("GetAttributes"), 0; }
  void SetAttributes(const std::string&, uint32_t) override { Unexpected("SetAttributes"); }
  std::string GetFileVersion(const std::string&) override {
    return Unexpected("GetFileVersion"), "";
  }
  std::vector<uint8_t> ReadFileBytes(const std::string&) override {
    return Unexpected("ReadFileBytes"), std::vector<uint8_t>{};
  }
  void WriteFileBytes(const std::string&, const std::vector<uint8_t>&) override {
    Unexpected("WriteFileBytes");
  }
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string&, bool) override {
    return Unexpected("OpenRandomAccess"), nullptr;
  }
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string&) override {
    return Unexpected("CreateRandomAccess"), nullptr;
  }
  std::vector<std::string> ListFolder(const std::string&) override {
    return Unexpected("ListFolder"), std::vector<std::string>{};
  }
  void FlushFolder(const std::string&) override { Unexpected("FlushFolder"); }
  bool IsSameOrInsideFolder(const std::string&, const std::string&) override {
    return Unexpected("IsSameOrInsideFolder"), false;
  }

 private:
  static void Unexpected(const char* op) { ADD_FAILURE() << "unexpected " << op; }
};

}  // namespace act::test
