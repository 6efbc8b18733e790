// The profile files our own profile functions (file_profile_store.h) work
// on, kept parsed between calls, each with the bytes it was parsed from (or
// last saved as) and the file's stamp at that time.
//
// Reading: re-reading and re-parsing the whole file on every call would make
// the settings carry-over cost keys times file size. Like Wine's kernel32, we
// keep the parsed files instead, and before every use make sure the file is
// still the one we parsed: by its stamp when the stamp can be trusted, else
// by comparing its bytes with the bytes we kept. A file that changed,
// however little, is parsed again.
//
// Writing: a change is made to the kept file only and marks it pending; the
// pending files reach the disk together, at Flush, rather than the whole
// file being saved for every changed key. Until then the
// store owns a pending file: reads see the pending changes, and a change
// made to the file on the disk meanwhile is not looked for (it would be
// overwritten at Flush). A pending file is never dropped to make room.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/ini_file.h"

namespace act {

class ProfileFileCache {
 public:
  explicit ProfileFileCache(FileSystem& fs) : fs_(fs) {}

  // The file at path as the profile functions see it now, parsed: with its
  // pending changes, or else as it is on the disk. nullptr when it is
  // missing (absent, a folder, a missing folder on its path); any other
  // failure to read it throws act::Error. Valid until the next call.
  IniFile* Load(const std::string& path);

  // After the caller changed *Load(path): the file is now pending. When the
  // change does not keep the file's shape (IniFile::SetKeepsShape), the file
  // is kept as it would be saved now, and the model rebuilt as parsing that
  // would rebuild it: reads answer as from the saved file, as kernel32's
  // do, and the saved bytes are what kernel32 writes.
  void Changed(const std::string& path, bool shape_kept);

  // After the caller wrote these bytes as the whole file.
  void Written(const std::string& path, std::vector<uint8_t> bytes);

  // Saves every pending file. A file that cannot be saved is dropped (its
  // changes are lost, the disk keeps what it had) and the others are still
  // saved; the first failure is then thrown.
  void Flush();

 private:
  struct Entry {
    std::string path;
    FileStamp stamp;
    std::vector<uint8_t> bytes;  // the file's bytes when parsed or last saved
    IniFile file;
    bool pending = false;
    // The bytes to save when the last change did not keep the file's shape,
    // which the rebuilt model no longer gives; empty: file's serialisation.
    std::vector<uint8_t> save_as;
  };
  // Enough for the three files of a settings stage and a spare; each entry
  // holds a file twice (bytes and model), which for a 1 MB file is some MB.
  static constexpr size_t kMaxFiles = 4;

  Entry* Find(const std::string& path);  // moves the entry to the front
  Entry& Keep(const std::string& path, FileStamp stamp, std::vector<uint8_t> bytes);
  void Forget(const std::string& path);

  FileSystem& fs_;
  std::list<Entry> entries_;  // most recently used first
};

}  // namespace act
