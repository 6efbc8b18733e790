#include "engine/database/shared_files.h"

#include <cctype>

#include "platform/error.h"

namespace act {

struct SharedFileSystem::Handle {
  std::unique_ptr<RandomAccessFile> file;
  bool writable = false;
};

// One opener's view of a shared handle; it writes only when opened writable.
class SharedFileSystem::View : public RandomAccessFile {
 public:
  View(std::shared_ptr<Handle> handle, std::string path, bool writable, bool syncs)
      : handle_(std::move(handle)), path_(std::move(path)), writable_(writable), syncs_(syncs) {}
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    return handle_->file->ReadAt(offset, buffer, n);
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    CheckWritable();
    handle_->file->WriteAt(offset, data, n);
  }
  uint64_t Size() override { return handle_->file->Size(); }
  void Truncate(uint64_t size) override {
    CheckWritable();
    handle_->file->Truncate(size);
  }
  void Sync() override {
    if (writable_ && syncs_) handle_->file->Sync();
  }
  const std::string& path() const override { return path_; }

 private:
  void CheckWritable() {
    if (!writable_) throw Error(kErrPermissionDenied, path_ + " is open for reading only");
  }
  std::shared_ptr<Handle> handle_;
  std::string path_;
  bool writable_;
  bool syncs_;
};

std::unique_ptr<RandomAccessFile> SharedFileSystem::OpenRandomAccess(const std::string& path,
                                                                     bool writable) {
  std::string key = path;
  for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
  std::shared_ptr<Handle> handle = open_[key].lock();
  if (handle && writable && !handle->writable) {
    // Held for reading only so far: the file refused writing when it was
    // first opened, so it refuses it now too.
    return base_.OpenRandomAccess(path, true);
  }
  if (!handle) {
    handle = std::make_shared<Handle>();
    try {
      handle->file = base_.OpenRandomAccess(path, true);
      handle->writable = true;
    } catch (const Error& e) {
      // A read-only file is still readable; a writer asking for it fails
      // the way the platform fails it.
      if (writable || e.number() != kErrPermissionDenied) throw;
      handle->file = base_.OpenRandomAccess(path, false);
    }
    open_[key] = handle;
  }
  return std::make_unique<View>(handle, path, writable, syncs_ == kSyncsPassedOn);
}

}  // namespace act
