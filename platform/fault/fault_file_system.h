// A file system for reliability tests: it passes every operation to another
// file system and, on demand, makes one of them fail with a chosen error, or
// makes the machine "stop dead" at one of them, as a power cut would: that
// operation is left half done (part of a file copied, part of a buffer
// written) and it and every later operation throw StoppedDead.
//
// Operations are counted from 1 in the order the caller makes them; the
// questions that cannot fail (FolderExists, FileExists,
// IsSameOrInsideFolder) are not counted. A folder copy counts once for the
// call and once for each file it copies, so that a stop can land inside
// it; a move or a replace counts once for the rename and once for the sync
// of its folders that the services promise after it ("MoveFolder: sync"),
// so that a stop can land between the two; a random-access file counts each read,
// write, truncation and sync.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system_wrapper.h"

namespace act {

// Thrown from the operation at which the machine stopped, and from every
// operation after it. Not an act::Error: nothing in the program may handle
// it, just as nothing runs after a power cut.
class StoppedDead : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped dead"; }
};

class FaultFileSystem : public FileSystemWrapper {
 public:
  // base must outlive this object and every file opened through it.
  explicit FaultFileSystem(FileSystem& base) : FileSystemWrapper(base), base_(base) {}

  // The nth operation from the start (counting all operations so far)
  // throws act::Error(error_number, path) without doing anything; later
  // operations work again. 0 disarms.
  void FailAt(uint64_t n, int error_number) {
    fail_at_ = n;
    fail_error_ = error_number;
  }
  // The nth operation is left half done and throws StoppedDead, and so does
  // everything after it. 0 disarms.
  void StopAt(uint64_t n) { stop_at_ = n; }
  // How many operations were counted so far.
  uint64_t operations() const { return count_; }
  // Every counted operation so far, in order: entry n-1 is operation n.
  // Tests use it to tell which step of a run an operation number falls in.
  struct Operation {
    std::string name;  // "CopyFile", "WriteAt", "CopyFolder: file", ...
    std::string path;
    std::string destination;  // copies and moves only
  };
  const std::vector<Operation>& log() const { return log_; }
  bool stopped() const { return stopped_; }

  // After a stop: what a power cut does to what was still in the write
  // cache. A rename whose folders were not synced yet is undone (a replaced
  // file comes back). Every file
  // written (copied, saved, written at an offset) and not synced since
  // loses its contents, wherever it has been moved or renamed to (an empty
  // file is what journalled file systems commonly leave of data that never
  // reached the disk). Returns how many files it emptied.
  size_t DropUnsyncedData();

  bool FolderExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void CopyFolder(const std::string& source, const std::string& destination, bool overwrite) override;
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite) override;
  void MoveFolder(const std::string& source, const std::string& destination) override;
  void MoveFile(const std::string& source, const std::string& destination) override;
  void ReplaceFile(const std::string& replaced, const std::string& replacement) override;
  void DeleteFolder(const std::string& path, bool force) override;
  void DeleteFile(const std::string& path, bool force) override;
  void CreateFolder(const std::string& path) override;
  uint32_t GetAttributes(const std::string& path) override;
  void SetAttributes(const std::string& path, uint32_t attributes) override;
  std::string GetFileVersion(const std::string& path) override;
  std::vector<uint8_t> ReadFileBytes(const std::string& path) override;
  void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) override;
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path, bool writable) override;
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& path) override;
  bool IsSameOrInsideFolder(const std::string& path, const std::string& folder) override;
  FileStamp GetFileStamp(const std::string& path) override;
  void FlushFolder(const std::string& path) override;
  std::unique_ptr<FileLock> LockFile(const std::string& path, uint64_t first_byte,
                                     uint64_t bytes) override;

  // What a counted operation should do: go on, or be the one that stops.
  // Throws the injected error, or StoppedDead once stopped. Used by the
  // random-access files this object hands out.
  enum class Step { kProceed, kStopHere };
  Step Count(const char* operation, const std::string& path,
             const std::string& destination = "");
  // Bookkeeping of the files whose data is not durable yet; also used by
  // the random-access files.
  void Written(const std::string& path);
  void Synced(const std::string& path);

 private:
  void CopyTree(const std::string& from, const std::string& to, bool overwrite);
  void CopyCounted(const char* operation, const std::string& from, const std::string& to,
                   bool overwrite);
  // Writes the first half of the source's bytes to the destination.
  void CopyHalf(const std::string& from, const std::string& to);
  void Renamed(const std::string& from, const std::string& to);  // to "" = deleted
  // After the base moved from to to: the sync of the move's folders.
  void SyncMove(const char* operation, const std::string& from, const std::string& to);

  FileSystem& base_;
  uint64_t count_ = 0;
  uint64_t fail_at_ = 0;
  int fail_error_ = 0;
  uint64_t stop_at_ = 0;
  bool stopped_ = false;
  std::vector<Operation> log_;
  std::set<std::string> unsynced_;
  struct Move {
    std::string from, to;
    // A replace: what `to` held before, which the undo puts back.
    std::optional<std::vector<uint8_t>> replaced_bytes;
  };
  std::vector<Move> unsynced_moves_;  // in the order they were made
};

}  // namespace act
