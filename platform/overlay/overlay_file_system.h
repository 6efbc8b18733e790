// A file system that reads through to another one and keeps every change in
// memory, in the spirit of SQLite's test VFS and LevelDB's Env wrappers: a
// dry run hands it to the very same update run that a real run uses, so
// that it reads everything the real run reads and writes nothing anywhere.
//
// What it keeps:
// - a copied or moved file is a reference to the base file it came from,
//   whose bytes are not read for the copy (a package of hundreds of MB costs
//   a few hundred bytes per file);
// - a file written to, at an offset or whole, is read into memory at its
//   first write and changed there from then on;
// - a deleted file or folder hides whatever the base holds at its place,
//   and a folder made here shows nothing of the base's old content there;
// - attributes set on a file stay with it (those set on a folder of the
//   base are not kept: the run sets none).
// The base is only ever asked questions and read.
//
// Every operation keeps the rules and error numbers of the platform
// backends for the cases an update run meets (missing source 53 or 76,
// existing destination 58, read-only file 70, missing parent 76, a folder
// copied into itself 70), so that a dry run fails where the real run would.
// Names compare as Windows compares them, letter case folded. A drive-
// relative path ("c:fotos") is taken from the drive's root, as the posix
// backend takes it; a real run on Windows takes it from that drive's
// current folder.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act {

class OverlayFileSystem : public FileSystem {
 public:
  // base must outlive this object, and this object every file it opened.
  explicit OverlayFileSystem(FileSystem& base);
  ~OverlayFileSystem() override;
  OverlayFileSystem(const OverlayFileSystem&) = delete;
  OverlayFileSystem& operator=(const OverlayFileSystem&) = delete;

  // The most bytes of file contents held in memory at any moment.
  uint64_t PeakMemory() const { return memory_.peak; }

  bool FolderExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override;
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
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;
  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& path) override;
  bool IsSameOrInsideFolder(const std::string& path, const std::string& folder) override;
  FileStamp GetFileStamp(const std::string& path) override;
  void FlushFolder(const std::string& path) override;
  // A lock of its own that no one else sees: a simulation touches no file
  // on the disk, a lock file included.
  std::unique_ptr<FileLock> LockFile(const std::string& path, uint64_t first_byte,
                                     uint64_t bytes) override;
  std::optional<uint64_t> FreeSpace(const std::string& path) override;
  std::optional<uint64_t> AllocationUnit(const std::string& path) override {
    return base_.AllocationUnit(path);
  }

 private:
  struct Tally {
    int64_t now = 0, peak = 0;
    void Add(int64_t delta);
  };
  struct Content;
  class File;
  // What the overlay holds at one path.
  struct Entry {
    enum class Kind { kHidden, kFolder, kFile } kind = Kind::kHidden;
    std::string name;                  // as made, for listings
    std::shared_ptr<Content> content;  // files
    std::optional<uint32_t> attributes;  // files; none: the base file's
  };
  // A path taken apart: the drive ("q:", or empty for a host path), the
  // names after it, the text to hand the base, and the folded key.
  struct Where {
    std::string drive;
    std::vector<std::string> names;
    std::string text;
    std::string key;
  };
  enum class Kind { kNone, kFolder, kFile };
  struct Found {
    Kind kind = Kind::kNone;
    Entry* entry = nullptr;  // null: the base's, seen through
  };

  static Where Parse(const std::string& path);
  static Where Child(const Where& folder, const std::string& name);
  static Where Parent(const Where& path);
  static std::string DriveKey(const Where& where);
  Found Find(const Where& where);
  std::vector<std::string> List(const Where& folder);
  Where CopyTarget(const Where& source, const std::string& destination);

  std::shared_ptr<Content> NewContent(std::string base_path);
  uint64_t SizeOf(Content& content);
  uint32_t AttributesOf(const Where& file, const Found& found);
  // The entry for an existing file, made to stand for the base's file when
  // the overlay held none.
  Entry& FileEntry(const Where& file, const Found& found);
  void Materialise(Content& content);
  void Resized(Content& content, uint64_t old_size);

  void Put(const Where& where, Entry entry);
  void Hide(const Where& where);
  void MakeFolder(const Where& where);
  // `walk`: the folders the copy came through to reach `from`.
  void CopyTree(const Where& from, const Where& to, bool overwrite, std::vector<std::string>& walk);
  void CopyOne(const Where& from, const Where& to, bool overwrite);
  void MoveTree(const Where& from, const Where& to);
  Entry TakeFile(const Where& file);

  FileSystem& base_;
  std::map<std::string, Entry> entries_;  // by folded path
  Tally memory_;
  uint64_t next_content_id_ = 1;
  uint64_t generation_ = 0;
};

}  // namespace act
