#include "tests/dbwrite/write_fixture.h"

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif
#include <sstream>

#include "platform/error.h"
#include "tests/db/host_file.h"

namespace act::db::testing {

WritableHostFile::WritableHostFile(std::string path, bool writable)
    : path_(std::move(path)), writable_(writable) {
  file_ = std::fopen(path_.c_str(), writable ? "r+b" : "rb");
  if (!file_) throw act::Error(kErrFileNotFound, path_);
}

WritableHostFile::~WritableHostFile() { std::fclose(file_); }

size_t WritableHostFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (std::fseek(file_, long(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, n, file_);
}

void WritableHostFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  if (!writable_) throw act::Error(kErrPermissionDenied, path_ + " is open read-only");
  if (std::fseek(file_, long(offset), SEEK_SET) != 0 || std::fwrite(data, 1, n, file_) != n) {
    throw act::Error(kErrDeviceIO, path_);
  }
}

uint64_t WritableHostFile::Size() {
  std::fseek(file_, 0, SEEK_END);
  return uint64_t(std::ftell(file_));
}

void WritableHostFile::Truncate(uint64_t size) {
  std::fflush(file_);
  std::filesystem::resize_file(path_, size);
}

void WritableHostFile::Sync() { std::fflush(file_); }

bool ScratchFileSystem::FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

std::unique_ptr<RandomAccessFile> ScratchFileSystem::OpenRandomAccess(const std::string& path,
                                                                      bool writable) {
  if (!std::filesystem::exists(path)) throw act::Error(kErrFileNotFound, path);
  if (writable && path.size() > 3 && path.substr(path.size() - 3) == ".ro") {
    throw act::Error(kErrPermissionDenied, path);
  }
  return std::make_unique<WritableHostFile>(path, writable);
}

std::unique_ptr<RandomAccessFile> ScratchFileSystem::CreateRandomAccess(const std::string& path) {
  if (std::filesystem::exists(path)) throw act::Error(kErrFileAlreadyExists, path);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw act::Error(kErrPathNotFound, path);
  std::fclose(f);
  return std::make_unique<WritableHostFile>(path, true);
}

void ScratchFileSystem::DeleteFile(const std::string& path, bool) {
  if (!std::filesystem::remove(path)) throw act::Error(kErrFileNotFound, path);
}

void ScratchFileSystem::Refuse() {
  throw act::Error(kErrPermissionDenied, "the scratch file system only opens files");
}

namespace {

long ProcessId() {
#ifdef _WIN32
  return long(_getpid());
#else
  return long(getpid());
#endif
}

}  // namespace

std::string ScratchDir(const std::string& test_name) {
  // The process id keeps runs of the same test (other worktrees, parallel
  // CTest) out of each other's files.
  auto dir = std::filesystem::temp_directory_path() /
             ("act_dbwrite_" + test_name + "_" + std::to_string(ProcessId()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string CopySample(const std::string& sample, const std::string& dir, const std::string& name) {
  std::string to = dir + "/" + name;
  WriteHostFile(to, ReadHostFile(SamplePath(sample)));
  return to;
}

std::unique_ptr<jet::Database> OpenForWrite(ScratchFileSystem& fs, const std::string& path) {
  return jet::Database::Open(fs, path, true);
}

std::string MdbExport(const std::string& path, const std::string& table, bool* ok) {
  *ok = HaveCommand("mdb-export");
  if (!*ok) return "";
  CommandOutput out = RunCommand("mdb-export '" + path + "' '" + table + "'");
  *ok = out.ok;
  return out.out;
}

int MdbExportRowCount(const std::string& path, const std::string& table) {
  CommandOutput out = RunCommand("mdb-count '" + path + "' '" + table + "'");
  if (!out.ok) return -1;
  return std::stoi(out.out);
}

std::vector<std::string> MdbReaderRows(const std::string& path, const std::string& table, bool* ok,
                                       bool* failed) {
  std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  *ok = HaveCommand("node") && RunCommand("test -d '" + tools + "/node_modules/mdb-reader'").ok;
  *failed = false;
  std::vector<std::string> rows;
  if (!*ok) return rows;
  CommandOutput out = RunCommand("node '" + tools + "/dump.mjs' '" + path + "'");
  if (!out.ok) {
    *failed = true;
    return rows;
  }
  std::istringstream in(out.out);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("table ", 0) == 0) {
      inside = line.substr(6) == table;
      continue;
    }
    if (inside) rows.push_back(line);
  }
  return rows;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace act::db::testing
