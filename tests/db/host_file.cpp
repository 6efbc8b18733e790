#include "tests/db/host_file.h"

#include <algorithm>
#include <stdexcept>

#include "platform/error.h"

namespace act::db::testing {

HostFile::HostFile(std::string path) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "rb");
  if (!file_) throw act::Error(kErrFileNotFound, path_);
}

HostFile::~HostFile() { std::fclose(file_); }

size_t HostFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (std::fseek(file_, long(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, n, file_);
}

void HostFile::WriteAt(uint64_t, const void*, size_t) {
  throw act::Error(kErrPermissionDenied, path_ + " is open read-only");
}

uint64_t HostFile::Size() {
  std::fseek(file_, 0, SEEK_END);
  return uint64_t(std::ftell(file_));
}

void HostFile::Truncate(uint64_t) {
  throw act::Error(kErrPermissionDenied, path_ + " is open read-only");
}

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw act::Error(kErrFileNotFound, path);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw act::Error(kErrPathNotFound, path);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

bool HostFileSystem::FileExists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

std::unique_ptr<RandomAccessFile> HostFileSystem::OpenRandomAccess(const std::string& path,
                                                                   bool writable) {
  ++opens;
  if (writable) ++writable_opens;
  return std::make_unique<HostFile>(path);
}

void HostFileSystem::Refuse() {
  throw act::Error(kErrPermissionDenied, "the test file system only opens files");
}

std::string SampleDir() { return std::string(ACT_TEST_DATA_DIR) + "/jet"; }

std::string SamplePath(const std::string& relative) { return SampleDir() + "/" + relative; }

std::vector<std::string> SampleDatabases() {
  return {"jet3/compIndexTestV1997.mdb", "jet3/delTestV1997.mdb",
          "jet3/indexTestV1997.mdb",     "jet3/nwind.mdb",
          "jet3/overflowTestV1997.mdb",  "jet3/test2V1997.mdb",
          "jet3/testIndexCodesV1997.mdb", "jet3/testV1997.mdb",
          "jet4/compIndexTestV2000.mdb", "jet4/DateTestDatabase.mdb",
          "jet4/emptyV2000.mdb",         "jet4/indexTestV2000.mdb"};
}

CommandOutput RunCommand(const std::string& command) {
  CommandOutput result;
#ifdef _WIN32
  (void)command;
  return result;
#else
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  result.ok = pclose(pipe) == 0;
  return result;
#endif
}

bool HaveCommand(const std::string& name) {
  return RunCommand("command -v " + name + " >/dev/null 2>&1").ok;
}

bool HaveTool(const std::string& name) {
  if (name != "mdb-reader") return HaveCommand(name);
  const std::string tools = std::string(ACT_SOURCE_DIR) + "/tests/tools";
  return HaveCommand("node") && RunCommand("test -d '" + tools + "/node_modules/mdb-reader'").ok;
}

}  // namespace act::db::testing
