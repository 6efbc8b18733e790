// A RandomAccessFile over bytes in memory: databases built in tests, and the
// fuzzer's inputs.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::db::jet {

class MemoryFile : public RandomAccessFile {
 public:
  MemoryFile(std::vector<uint8_t> bytes, std::string path)
      : bytes_(std::move(bytes)), path_(std::move(path)) {}

  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (offset >= bytes_.size()) return 0;
    size_t got = std::min<uint64_t>(n, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, got);
    return got;
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    if (offset + n > bytes_.size()) bytes_.resize(offset + n);
    std::memcpy(bytes_.data() + offset, data, n);
  }
  uint64_t Size() override { return bytes_.size(); }
  void Truncate(uint64_t size) override { bytes_.resize(size); }
  void Sync() override {}
  const std::string& path() const override { return path_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::string path_;
};

}  // namespace act::db::jet
