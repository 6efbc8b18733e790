// Jet opens a database shared: while the carry-over holds the staged
// database open for its walk, an update and the append statements that name
// the file after IN open it again. Windows refuses a second handle that
// would write to a file open elsewhere in the process, so every open of one
// path goes through a single handle here, opened for reading and writing
// when the file allows it. A file opened read-only through this service
// still refuses writes, which is what keeps the installed database as it
// was.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/file_system_wrapper.h"

namespace act {

class SharedFileSystem : public FileSystemWrapper {
 public:
  // kSyncsLeftToCaller: a file's Sync does nothing, the caller making the
  // files durable itself (FlushFolder) before anything relies on them; the
  // order of the writes is kept either way.
  enum Syncs { kSyncsPassedOn, kSyncsLeftToCaller };
  explicit SharedFileSystem(FileSystem& base, Syncs syncs = kSyncsPassedOn)
      : FileSystemWrapper(base), base_(base), syncs_(syncs) {}
  SharedFileSystem(const SharedFileSystem&) = delete;
  SharedFileSystem& operator=(const SharedFileSystem&) = delete;

  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override;

 private:
  struct Handle;
  class View;
  FileSystem& base_;
  Syncs syncs_;
  // By path with letter case folded, as Windows names files. Entries are
  // dropped when their last view closes.
  std::map<std::string, std::weak_ptr<Handle>> open_;
};

}  // namespace act
