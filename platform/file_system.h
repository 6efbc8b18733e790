// The file-system service: the operations of the scripting FileSystemObject
// that the update run and its stages use, plus the few low-level primitives
// (whole-file and random-access I/O) that the profile functions and the
// database engine build on, so that every byte the program reads or writes
// goes through one interface that tests can replace or fail on demand.
//
// Paths are Windows paths as the program builds them: "c:\zentaroDeck_NEW",
// never normalised by the callers. Texts are UTF-8.
//
// Every operation either succeeds or throws act::Error (53 File not found,
// 58 File already exists, 70 Permission denied, 76 Path not found, ...)
// with the path involved in the error's detail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// <windows.h> makes CopyFile, MoveFile, ReplaceFile and DeleteFile macros
// for their W functions; the service's methods keep the FileSystemObject names, so
// Windows code includes <windows.h> first and calls the W functions by
// their own names.
#undef CopyFile
#undef MoveFile
#undef ReplaceFile
#undef DeleteFile

namespace act {

// DOS file attributes, as FileSystemObject's File.Attributes reports them.
enum FileAttribute : uint32_t {
  kAttrNormal = 0,
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
  kAttrArchive = 32,
};

// A cheap fingerprint of one state of a file, for code that keeps what it
// read from a file and must notice at once any change made to it since.
struct FileStamp {
  uint64_t size = 0;
  int64_t modified = 0;   // last write, in the system's own time units
  int64_t changed = 0;    // posix: last change of the inode, which no one can set back
  uint64_t file_id = 0;   // posix: the inode, which a file replaced by another changes
  // True when the last write is old enough that any later write would give
  // the file a different stamp. A write within the same tick of the file
  // system's clock may leave the stamp as it was, so while this is false
  // only the contents can tell whether the file changed.
  bool settled = false;

  bool operator==(const FileStamp& o) const {
    return size == o.size && modified == o.modified && changed == o.changed && file_id == o.file_id;
  }
};

// A file opened for reading and, optionally, writing at arbitrary offsets:
// what the database engine's pager needs.
class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;
  // Reads up to n bytes at offset; returns how many were read (fewer only at
  // the end of the file).
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t n) = 0;
  // Writes all n bytes at offset, extending the file when needed.
  virtual void WriteAt(uint64_t offset, const void* data, size_t n) = 0;
  virtual uint64_t Size() = 0;
  virtual void Truncate(uint64_t size) = 0;
  // Makes what was written durable (fsync / FlushFileBuffers).
  virtual void Sync() = 0;
  // The path the file was opened with, for error reports.
  virtual const std::string& path() const = 0;
};

// An exclusive lock on one file, held until this object goes.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- FileSystemObject operations ---------------------------------------
  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Copies the folder's whole tree. An existing destination folder is merged
  // into; existing files are replaced when overwrite is true (a read-only
  // destination file fails whatever the flag, as on Windows). A destination
  // ending in a backslash is an existing folder that receives the source as
  // a subfolder. The destination's parent must exist.
  virtual void CopyFolder(const std::string& source, const std::string& destination,
                          bool overwrite) = 0;
  // Same rules for one file; a destination ending in a backslash is a folder
  // that receives the file under its own name.
  virtual void CopyFile(const std::string& source, const std::string& destination,
                        bool overwrite) = 0;
  // Both fail with 58 when the destination exists. A move is a rename: one
  // onto another volume or file system (a disk mounted on the way) fails
  // with 75 and changes nothing, as MoveFileExW without
  // MOVEFILE_COPY_ALLOWED does; a copy and a delete stopped part-way would
  // leave the folder whole in neither place. A move is on the disk when it
  // returns: the swap's renames must survive a power cut that comes right
  // after them.
  virtual void MoveFolder(const std::string& source, const std::string& destination) = 0;
  virtual void MoveFile(const std::string& source, const std::string& destination) = 0;
  // Puts the file `replacement` in the place of the existing file `replaced`
  // in one step, as ReplaceFileW does: whoever opens `replaced`, after a
  // crash or a power cut too, finds the old file whole or the new one whole,
  // never a mixture. `replacement` then no longer exists. The name keeps the
  // replaced file's attributes (and on Windows its security); both must be
  // in one folder (75 otherwise, as for a move), and on the disk when it
  // returns, as a move is. 53 when either file is missing.
  virtual void ReplaceFile(const std::string& replaced, const std::string& replacement) = 0;
  // With force, read-only content is removed too; without it a read-only
  // file fails with 70. A link (symbolic link, junction, mounted folder) in
  // the tree, or the folder itself when it is one, is removed as a link:
  // what it points to may be anyone's, and is never touched. Where a mount
  // cannot be removed as a link (a posix host), a tree that holds one fails
  // with 70 naming it, looked over before anything is removed.
  virtual void DeleteFolder(const std::string& path, bool force) = 0;
  virtual void DeleteFile(const std::string& path, bool force) = 0;
  // One new folder; the parent must exist; fails with 58 when it exists.
  virtual void CreateFolder(const std::string& path) = 0;
  // GetFile(path).Attributes; the file must exist: a missing file, and a
  // folder in its place, fail with 53 as GetFile does.
  virtual uint32_t GetAttributes(const std::string& path) = 0;
  // GetFile(path).Attributes = value, with the same rule for the path. Only
  // read-only, hidden, system and archive can be set; 0 makes the file
  // normal.
  virtual void SetAttributes(const std::string& path, uint32_t attributes) = 0;
  // The fixed file version of an executable's version record as
  // "major.minor.build.revision"; the empty text when the file has no
  // version record or is no PE file; 53 when the file is missing.
  virtual std::string GetFileVersion(const std::string& path) = 0;

  // --- Primitives for the profile functions and the database engine -------
  // Whole contents of a file (53 when missing).
  virtual std::vector<uint8_t> ReadFileBytes(const std::string& path) = 0;
  // Replaces (or creates) the file with the given contents. The parent
  // folder must exist; a read-only file fails with 70.
  virtual void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) = 0;
  // Opens an existing file; writable asks for write access too (70 on a
  // read-only file).
  virtual std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                             bool writable) = 0;
  // Creates a new file, failing with 58 when it exists.
  virtual std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) = 0;
  // Names of the entries of a folder (files and folders), without "." and "..".
  virtual std::vector<std::string> ListFolder(const std::string& path) = 0;
  // Whether `path` names the folder `folder` or a folder anywhere inside
  // it, told by what the folders are on the disk rather than by their
  // names: another drive letter for the same folder (a subst drive, a
  // second mapping of one share), a short 8.3 name or a link to it all
  // lead to the same folder. On a posix host a file system mounted on a
  // folder inside `folder` is inside it too (on Windows a mounted folder is
  // a link, which a delete takes away as one, leaving what it leads to).
  // False when either folder is missing.
  virtual bool IsSameOrInsideFolder(const std::string& path, const std::string& folder) = 0;
  // The file's stamp (53 when missing). A service that cannot tell gives a
  // stamp that is never settled, so that its callers compare contents.
  virtual FileStamp GetFileStamp(const std::string& path) { return FileStamp{}; }
  // Makes the contents of every file under the folder durable (fsync /
  // FlushFileBuffers), and the folders' own entries too, before it returns.
  // Copies and saves otherwise sit in the write cache for a while; a power
  // cut after a later rename could then leave the renamed files empty. Read-
  // only files are flushed too. File systems with no write cache of their
  // own (test doubles over another one) pass it on or have nothing to do.
  virtual void FlushFolder(const std::string& path) = 0;
  // An exclusive lock on `bytes` bytes of the file at path from
  // `first_byte` on (they may lie past its end), the file made when missing
  // (its folder must exist); nothing when another holder has any of them.
  // Every process that asks through this service respects it: two posix
  // processes, two Windows processes, and a posix process beside a Wine one
  // on the same files, since both end in a byte-range lock that the host
  // system keeps (LockFileEx; an open-file-description lock, which
  // conflicts with the record locks wineserver places for LockFileEx). So
  // does Jet, which marks a database in use with such locks on its .ldb
  // file. The system drops the lock with the process that holds it, however
  // that process ends. When the lock goes the file is removed, so that
  // nothing is left behind; a holder killed first may leave it, and the
  // next holder takes it over.
  virtual std::unique_ptr<FileLock> LockFile(const std::string& path, uint64_t first_byte,
                                             uint64_t bytes) = 0;

  // --- Questions for the front ends ---------------------------------------
  // The bytes this user may still write on the drive that holds path
  // (GetDiskFreeSpaceEx's figure for the caller, statvfs's f_bavail); nothing
  // when the service cannot tell. Asked before a run, to refuse one that
  // cannot fit.
  virtual std::optional<uint64_t> FreeSpace(const std::string& path) { return std::nullopt; }
  // The size of the allocation blocks of the drive that holds path, the
  // least a file there takes (statvfs's f_frsize, GetDiskFreeSpaceW's bytes
  // per cluster); nothing when the service cannot tell.
  virtual std::optional<uint64_t> AllocationUnit(const std::string& path) { return std::nullopt; }
  // From now on every file copy (CopyFolder's, CopyFile's) tells `copied`
  // the file it writes and the bytes it has just written of it, block by
  // block as the copy goes, for a progress display; an empty function stops
  // it. A service that does not copy files itself tells nothing.
  virtual void SetCopyProgress(
      std::function<void(const std::string& file, uint64_t bytes)> copied) {}
};

// The backend of this build: win32 on Windows, posix elsewhere. On posix the
// drives come from the Wine-style prefix (prefix_dir, else $WINEPREFIX, else
// ~/.wine); the argument is ignored on Windows.
std::unique_ptr<FileSystem> NewPlatformFileSystem(const std::string& prefix_dir = "");

// A folder given on this machine's own terms as the drive path the platform
// file system names it by. On Windows every path is one already. On a
// Wine-style prefix a host path ("/media/cd/act") becomes the drive path
// whose drive root holds it most closely, preferred_drive's letter first
// ("e:\act"); anything else is returned as it is. Throws act::Error 76 for
// a host folder that is missing or lies on no drive of the prefix.
std::string DrivePathOf(const std::string& folder, const std::string& preferred_drive,
                        const std::string& prefix_dir = "");

}  // namespace act
