#include "db/jet/file/spill_file.h"

#include <utility>

#include "platform/error.h"

namespace act::db::jet {

namespace {

// A file left behind by a run that was killed keeps its name: the next
// free one is taken rather than anything removed that this run did not make.
constexpr int kNames = 16;

}  // namespace

SpillFile::SpillFile(FileSystem& fs, std::string database)
    : fs_(fs), database_(std::move(database)) {}

SpillFile::~SpillFile() {
  try {
    Remove();
  } catch (const std::exception&) {
    // Already failing, or nothing more to be done about it here.
  }
}

void SpillFile::Create() {
  for (int n = 1; n <= kNames; ++n) {
    const std::string path = database_ + ".sort" + std::to_string(n) + ".tmp";
    try {
      file_ = fs_.CreateRandomAccess(path);
    } catch (const Error& e) {
      if (e.number() == kErrFileAlreadyExists) continue;
      throw;
    }
    path_ = path;
    return;
  }
  throw Error(kErrFileAlreadyExists, database_ + ".sort1.tmp to .sort" + std::to_string(kNames) +
                                         ".tmp all exist");
}

uint64_t SpillFile::Append(std::span<const uint8_t> bytes) {
  if (!file_) Create();
  const uint64_t at = size_;
  file_->WriteAt(at, bytes.data(), bytes.size());
  size_ += bytes.size();
  return at;
}

void SpillFile::Read(uint64_t offset, void* out, size_t n) {
  if (!file_ || offset + n > size_ || file_->ReadAt(offset, out, n) != n) {
    throw Error(kErrDeviceIO, path_ + ": scratch file shorter than written");
  }
}

void SpillFile::Remove() {
  if (path_.empty()) return;
  file_.reset();
  const std::string path = std::exchange(path_, std::string());
  size_ = 0;
  fs_.DeleteFile(path, true);
}

}  // namespace act::db::jet
