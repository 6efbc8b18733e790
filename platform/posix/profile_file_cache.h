// The last few profile files the posix profile functions parsed, each kept
// with the bytes it was parsed from and the file's stamp at that time.
//
// The profile functions' contract is that every call goes to the file anew,
// so that a change by anyone else is seen at once; re-reading and re-parsing
// the whole file on every call made the settings carry-over cost keys times
// file size. Like Wine's kernel32, we keep the parsed files instead, and
// before every use make sure the file is still the one we parsed: by its
// stamp when the stamp can be trusted, else by comparing its bytes with the
// bytes we parsed. A file that changed, however little, is parsed again.
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

  // The file at path as it is now, parsed; nullptr when it cannot be read
  // (absent, a folder, refused). The object stays valid until the next call.
  IniFile* Load(const std::string& path);

  // After the caller changed *Load(path) and wrote these bytes, its
  // serialisation, to the file. The kept model stands for the file only if
  // parsing the bytes would give it back exactly (model_exact); otherwise
  // the bytes are parsed again. The next use compares contents, since the
  // stamp of a file just written says nothing about who wrote last.
  void Written(const std::string& path, std::vector<uint8_t> bytes, bool model_exact);

  // Drops what is kept of the file (after a failed write).
  void Forget(const std::string& path);

 private:
  struct Entry {
    std::string path;
    FileStamp stamp;
    std::vector<uint8_t> bytes;
    IniFile file;
  };
  // Enough for the three files of a settings stage and a spare; each entry
  // holds a file twice (bytes and model), which for a 1 MB file is some MB.
  static constexpr size_t kMaxFiles = 4;

  Entry* Find(const std::string& path);  // moves the entry to the front

  FileSystem& fs_;
  std::list<Entry> entries_;  // most recently used first
};

}  // namespace act
