// Scratch space for a statement whose work outgrows the memory it may hold:
// a file beside the database (in the product's own folder, on the same
// drive), made through the file-system service when first needed and
// removed when the statement ends, however it ends.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/file_system.h"

namespace act::db::jet {

class SpillFile {
 public:
  // `database` is the path of the database the scratch file goes beside.
  SpillFile(FileSystem& fs, std::string database);
  // Removes the file; a failure to remove it is ignored here (call
  // Remove() to see one).
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Writes `bytes` after everything written before and returns where they
  // start. The first call makes the file.
  uint64_t Append(std::span<const uint8_t> bytes);
  // Reads back n bytes written at `offset`.
  void Read(uint64_t offset, void* out, size_t n);
  // Closes and removes the file, if it was made.
  void Remove();

  uint64_t size() const { return size_; }

 private:
  void Create();

  FileSystem& fs_;
  std::string database_;
  std::string path_;  // empty until made
  std::unique_ptr<RandomAccessFile> file_;
  uint64_t size_ = 0;
};

}  // namespace act::db::jet
