#include "platform/fault/fault_file_system.h"

#include "platform/error.h"

namespace act {
namespace {

bool EndsInSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

std::string LastName(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && (path[end - 1] == '\\' || path[end - 1] == '/')) --end;
  size_t cut = path.find_last_of("\\/:", end == 0 ? 0 : end - 1);
  size_t start = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(start, end - start);
}

std::string Child(const std::string& folder, const std::string& name) {
  return EndsInSeparator(folder) ? folder + name : folder + "\\" + name;
}

// Where a copy lands, by the FileSystemObject's rule for a destination that
// ends in a backslash.
std::string Target(const std::string& source, const std::string& destination) {
  return EndsInSeparator(destination) ? destination + LastName(source) : destination;
}

class FaultRandomAccessFile : public RandomAccessFile {
 public:
  FaultRandomAccessFile(FaultFileSystem& owner, std::unique_ptr<RandomAccessFile> base)
      : owner_(owner), base_(std::move(base)) {}

  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    if (owner_.Count("ReadAt", path()) == FaultFileSystem::Step::kStopHere) throw StoppedDead();
    return base_->ReadAt(offset, buffer, n);
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    if (owner_.Count("WriteAt", path()) == FaultFileSystem::Step::kStopHere) {
      owner_.Written(path());
      base_->WriteAt(offset, data, n / 2);  // the power went mid-write
      throw StoppedDead();
    }
    owner_.Written(path());
    base_->WriteAt(offset, data, n);
  }
  uint64_t Size() override { return base_->Size(); }
  void Truncate(uint64_t size) override {
    if (owner_.Count("Truncate", path()) == FaultFileSystem::Step::kStopHere) throw StoppedDead();
    base_->Truncate(size);
  }
  void Sync() override {
    if (owner_.Count("Sync", path()) == FaultFileSystem::Step::kStopHere) throw StoppedDead();
    base_->Sync();
    owner_.Synced(path());
  }
  const std::string& path() const override { return base_->path(); }

 private:
  FaultFileSystem& owner_;
  std::unique_ptr<RandomAccessFile> base_;
};

}  // namespace

FaultFileSystem::Step FaultFileSystem::Count(const char* operation, const std::string& path,
                                             const std::string& destination) {
  if (stopped_) throw StoppedDead();
  ++count_;
  log_.push_back({operation, path, destination});
  if (count_ == stop_at_) {
    stopped_ = true;
    return Step::kStopHere;
  }
  if (count_ == fail_at_) throw Error(fail_error_, path);
  return Step::kProceed;
}

bool FaultFileSystem::FolderExists(const std::string& path) {
  if (stopped_) throw StoppedDead();
  return base_.FolderExists(path);
}

bool FaultFileSystem::FileExists(const std::string& path) {
  if (stopped_) throw StoppedDead();
  return base_.FileExists(path);
}

void FaultFileSystem::CopyFolder(const std::string& source, const std::string& destination,
                                 bool overwrite) {
  if (Count("CopyFolder", source, destination) == Step::kStopHere) throw StoppedDead();
  if (!base_.FolderExists(source)) throw Error(kErrPathNotFound, source);
  CopyTree(source, Target(source, destination), overwrite);
}

void FaultFileSystem::CopyTree(const std::string& from, const std::string& to, bool overwrite) {
  if (base_.FileExists(to)) throw Error(kErrFileAlreadyExists, to);
  if (!base_.FolderExists(to)) base_.CreateFolder(to);
  for (const std::string& name : base_.ListFolder(from)) {
    std::string child_from = Child(from, name), child_to = Child(to, name);
    if (base_.FolderExists(child_from)) {
      CopyTree(child_from, child_to, overwrite);
    } else {
      CopyCounted("CopyFolder: file", child_from, child_to, overwrite);
    }
  }
}

void FaultFileSystem::CopyFile(const std::string& source, const std::string& destination,
                               bool overwrite) {
  CopyCounted("CopyFile", source, destination, overwrite);
}

void FaultFileSystem::CopyCounted(const char* operation, const std::string& from,
                                  const std::string& to, bool overwrite) {
  if (Count(operation, from, to) == Step::kStopHere) {
    Written(Target(from, to));
    CopyHalf(from, Target(from, to));
    throw StoppedDead();
  }
  Written(Target(from, to));
  base_.CopyFile(from, to, overwrite);
}

void FaultFileSystem::CopyHalf(const std::string& from, const std::string& to) {
  try {
    std::vector<uint8_t> bytes = base_.ReadFileBytes(from);
    bytes.resize(bytes.size() / 2);
    base_.WriteFileBytes(to, bytes);
  } catch (const Error&) {
    // The copy would have failed anyway; the stop is what the caller sees.
  }
}

// A rename is all or nothing: a stop at it leaves nothing done.
void FaultFileSystem::MoveFolder(const std::string& source, const std::string& destination) {
  if (Count("MoveFolder", source, destination) == Step::kStopHere) throw StoppedDead();
  base_.MoveFolder(source, destination);
  SyncMove("MoveFolder: sync", source, Target(source, destination));
}

void FaultFileSystem::MoveFile(const std::string& source, const std::string& destination) {
  if (Count("MoveFile", source, destination) == Step::kStopHere) throw StoppedDead();
  base_.MoveFile(source, destination);
  SyncMove("MoveFile: sync", source, Target(source, destination));
}

void FaultFileSystem::ReplaceFile(const std::string& replaced, const std::string& replacement) {
  if (Count("ReplaceFile", replaced, replacement) == Step::kStopHere) throw StoppedDead();
  // A cut before the folder's sync brings the replaced file back: its bytes
  // are kept for that, only when the stop is due there.
  std::optional<std::vector<uint8_t>> old_bytes;
  if (stop_at_ == count_ + 1) old_bytes = base_.ReadFileBytes(replaced);
  base_.ReplaceFile(replaced, replacement);
  unsynced_.erase(replaced);
  Renamed(replacement, replaced);
  if (Count("ReplaceFile: sync", replacement, replaced) == Step::kStopHere) {
    unsynced_moves_.push_back({replacement, replaced, std::move(old_bytes)});
    throw StoppedDead();
  }
}

// The base has renamed and synced at once; a stop here stands for a power
// cut that came between the two.
void FaultFileSystem::SyncMove(const char* operation, const std::string& from,
                               const std::string& to) {
  Renamed(from, to);
  if (Count(operation, from, to) == Step::kStopHere) {
    unsynced_moves_.push_back({from, to, std::nullopt});
    throw StoppedDead();
  }
}

void FaultFileSystem::DeleteFolder(const std::string& path, bool force) {
  if (Count("DeleteFolder", path) == Step::kStopHere) throw StoppedDead();
  base_.DeleteFolder(path, force);
  Renamed(path, "");
}

void FaultFileSystem::DeleteFile(const std::string& path, bool force) {
  if (Count("DeleteFile", path) == Step::kStopHere) throw StoppedDead();
  base_.DeleteFile(path, force);
  Renamed(path, "");
}

void FaultFileSystem::CreateFolder(const std::string& path) {
  if (Count("CreateFolder", path) == Step::kStopHere) throw StoppedDead();
  base_.CreateFolder(path);
}

uint32_t FaultFileSystem::GetAttributes(const std::string& path) {
  if (Count("GetAttributes", path) == Step::kStopHere) throw StoppedDead();
  return base_.GetAttributes(path);
}

FileStamp FaultFileSystem::GetFileStamp(const std::string& path) {
  if (Count("GetFileStamp", path) == Step::kStopHere) throw StoppedDead();
  // Whether a stamp has settled depends on the clock, and a caller that
  // trusts a settled stamp skips reading the file: the nth operation of a
  // run would then differ from one run to the next. Never settled, the
  // callers read at the same operations every time.
  FileStamp stamp = base_.GetFileStamp(path);
  stamp.settled = false;
  return stamp;
}

void FaultFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  if (Count("SetAttributes", path) == Step::kStopHere) throw StoppedDead();
  base_.SetAttributes(path, attributes);
}

std::string FaultFileSystem::GetFileVersion(const std::string& path) {
  if (Count("GetFileVersion", path) == Step::kStopHere) throw StoppedDead();
  return base_.GetFileVersion(path);
}

std::vector<uint8_t> FaultFileSystem::ReadFileBytes(const std::string& path) {
  if (Count("ReadFileBytes", path) == Step::kStopHere) throw StoppedDead();
  return base_.ReadFileBytes(path);
}

void FaultFileSystem::WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  if (Count("WriteFileBytes", path) == Step::kStopHere) {
    Written(path);
    base_.WriteFileBytes(path, std::vector<uint8_t>(data.begin(), data.begin() + data.size() / 2));
    throw StoppedDead();
  }
  Written(path);
  base_.WriteFileBytes(path, data);
}

std::unique_ptr<RandomAccessFile> FaultFileSystem::OpenRandomAccess(const std::string& path,
                                                                    bool writable) {
  if (Count("OpenRandomAccess", path) == Step::kStopHere) throw StoppedDead();
  return std::make_unique<FaultRandomAccessFile>(*this, base_.OpenRandomAccess(path, writable));
}

std::unique_ptr<RandomAccessFile> FaultFileSystem::CreateRandomAccess(const std::string& path) {
  if (Count("CreateRandomAccess", path) == Step::kStopHere) throw StoppedDead();
  return std::make_unique<FaultRandomAccessFile>(*this, base_.CreateRandomAccess(path));
}

std::vector<std::string> FaultFileSystem::ListFolder(const std::string& path) {
  if (Count("ListFolder", path) == Step::kStopHere) throw StoppedDead();
  return base_.ListFolder(path);
}

bool FaultFileSystem::IsSameOrInsideFolder(const std::string& path, const std::string& folder) {
  if (stopped_) throw StoppedDead();
  return base_.IsSameOrInsideFolder(path, folder);
}

void FaultFileSystem::FlushFolder(const std::string& path) {
  // A stop here flushes nothing: the cut came first.
  if (Count("FlushFolder", path) == Step::kStopHere) throw StoppedDead();
  base_.FlushFolder(path);
  for (auto it = unsynced_.begin(); it != unsynced_.end();) {
    bool inside = it->size() > path.size() && it->compare(0, path.size(), path) == 0 &&
                  (*it)[path.size()] == '\\';
    it = inside ? unsynced_.erase(it) : std::next(it);
  }
}

std::unique_ptr<FileLock> FaultFileSystem::LockFile(const std::string& path, uint64_t first_byte,
                                                    uint64_t bytes) {
  if (Count("LockFile", path) == Step::kStopHere) throw StoppedDead();
  return base_.LockFile(path, first_byte, bytes);
}

void FaultFileSystem::Written(const std::string& path) { unsynced_.insert(path); }

void FaultFileSystem::Synced(const std::string& path) { unsynced_.erase(path); }

void FaultFileSystem::Renamed(const std::string& from, const std::string& to) {
  std::set<std::string> renamed;
  for (const std::string& path : unsynced_) {
    if (path == from) {
      if (!to.empty()) renamed.insert(to);
    } else if (path.size() > from.size() && path.compare(0, from.size(), from) == 0 &&
               path[from.size()] == '\\') {
      if (!to.empty()) renamed.insert(to + path.substr(from.size()));
    } else {
      renamed.insert(path);
    }
  }
  unsynced_ = std::move(renamed);
}

size_t FaultFileSystem::DropUnsyncedData() {
  for (auto move = unsynced_moves_.rbegin(); move != unsynced_moves_.rend(); ++move) {
    if (move->replaced_bytes) {
      base_.MoveFile(move->to, move->from);
      base_.WriteFileBytes(move->to, *move->replaced_bytes);
    } else if (base_.FolderExists(move->to)) {
      base_.MoveFolder(move->to, move->from);
    } else {
      base_.MoveFile(move->to, move->from);
    }
    Renamed(move->to, move->from);
  }
  unsynced_moves_.clear();
  size_t dropped = 0;
  for (const std::string& path : unsynced_) {
    if (!base_.FileExists(path)) continue;
    // Read-only files lose their data as well: the cut does not ask.
    uint32_t attributes = base_.GetAttributes(path);
    base_.SetAttributes(path, kAttrNormal);
    base_.WriteFileBytes(path, {});
    base_.SetAttributes(path, attributes);
    ++dropped;
  }
  unsynced_.clear();
  return dropped;
}

}  // namespace act
