#include "tests/support/host_file_system.h"

#include <filesystem>

#include "platform/error.h"

namespace act::test {

HostFile::HostFile(std::string path, bool writable) : path_(std::move(path)), writable_(writable) {
  file_ = std::fopen(path_.c_str(), writable ? "r+b" : "rb");
  if (!file_) throw Error(kErrFileNotFound, path_);
}

HostFile::~HostFile() { std::fclose(file_); }

size_t HostFile::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (std::fseek(file_, long(offset), SEEK_SET) != 0) return 0;
  return std::fread(buffer, 1, n, file_);
}

void HostFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  if (!writable_) throw Error(kErrPermissionDenied, path_ + " is open read-only");
  if (std::fseek(file_, long(offset), SEEK_SET) != 0 || std::fwrite(data, 1, n, file_) != n) {
    throw Error(kErrDeviceIO, path_);
  }
}

uint64_t HostFile::Size() {
  std::fseek(file_, 0, SEEK_END);
  return uint64_t(std::ftell(file_));
}

void HostFile::Truncate(uint64_t size) {
  if (!writable_) throw Error(kErrPermissionDenied, path_ + " is open read-only");
  std::fflush(file_);
  std::filesystem::resize_file(path_, size);
}

void HostFile::Sync() { std::fflush(file_); }

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw Error(kErrFileNotFound, path);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw Error(kErrPathNotFound, path);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

bool HostFileSystem::FileExists(const std::string& path) {
  return std::filesystem::is_regular_file(path);
}

std::unique_ptr<RandomAccessFile> HostFileSystem::OpenRandomAccess(const std::string& path,
                                                                   bool writable) {
  if (!std::filesystem::exists(path)) throw Error(kErrFileNotFound, path);
  if (writable && path.size() > 3 && path.substr(path.size() - 3) == ".ro") {
    throw Error(kErrPermissionDenied, path);
  }
  ++opens;
  if (writable) ++writable_opens;
  return std::make_unique<HostFile>(path, writable && access_ == kReadsAndWrites);
}

std::unique_ptr<RandomAccessFile> HostFileSystem::CreateRandomAccess(const std::string& path) {
  if (access_ == kOnlyReads) Refuse();
  if (std::filesystem::exists(path)) throw Error(kErrFileAlreadyExists, path);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw Error(kErrPathNotFound, path);
  std::fclose(f);
  return std::make_unique<HostFile>(path, true);
}

void HostFileSystem::DeleteFile(const std::string& path, bool) {
  if (access_ == kOnlyReads) Refuse();
  if (!std::filesystem::remove(path)) throw Error(kErrFileNotFound, path);
}

void HostFileSystem::Refuse() {
  throw Error(kErrPermissionDenied, "the test file system only opens, creates and deletes files");
}

}  // namespace act::test
