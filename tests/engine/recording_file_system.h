// A FileSystem with a fixed set of existing paths for the manifest copies: it
// notes the existence tests and the copies, and holds each copy to come right
// after the test of its source (of its kind) said yes, with overwrite. Every
// other operation fails the test, since those stages must not use it.
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
  std::vector<std::string> asked;   // paths, in the order asked
  std::vector<std::string> copies;  // "source -> destination", in order

  bool FolderExists(const std::string& p) override { return Asked("FolderExists ", p, folders.count(p)); }
  bool FileExists(const std::string& p) override { return Asked("FileExists ", p, files.count(p)); }
  void CopyFolder(const std::string& s, const std::string& d, bool o) override {
    Copied("FolderExists ", s, d, o);
  }
  void CopyFile(const std::string& s, const std::string& d, bool o) override {
    Copied("FileExists ", s, d, o);
  }
  void MoveFolder(const std::string&, const std::string&) override { Unexpected("MoveFolder"); }
  void MoveFile(const std::string&, const std::string&) override { Unexpected("MoveFile"); }
  void ReplaceFile(const std::string&, const std::string&) override { Unexpected("ReplaceFile"); }
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
  std::unique_ptr<FileLock> LockFile(const std::string&, uint64_t, uint64_t) override {
    return Unexpected("LockFile"), nullptr;
  }
  bool IsSameOrInsideFolder(const std::string&, const std::string&) override {
    return Unexpected("IsSameOrInsideFolder"), false;
  }

 private:
  bool Asked(const std::string& test, const std::string& p, bool yes) {
    asked.push_back(p);
    confirmed_ = yes ? test + p : "";
    return yes;
  }
  void Copied(const std::string& test, const std::string& s, const std::string& d, bool o) {
    EXPECT_EQ(confirmed_, test + s) << "a copy not right after its source was found";
    EXPECT_TRUE(o) << "a copy without overwrite";
    confirmed_.clear();
    copies.push_back(s + " -> " + d);
  }
  std::string confirmed_;  // the last existence test, when it said yes
  static void Unexpected(const char* op) { ADD_FAILURE() << "unexpected " << op; }
};

}  // namespace act::test
