// The platform's profile (INI) functions: GetPrivateProfileStringA and
// WritePrivateProfileStringA of kernel32 on Windows, our own reader and
// writer with the same observable behaviour on posix.
//
// Texts are UTF-8 inside the program; the files hold Windows-1252 and are
// converted at this boundary only.
#pragma once

#include <memory>
#include <string>

namespace act {

class FileSystem;

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // GetPrivateProfileStringA(section, key, "", buffer of 255, 255, path):
  // returns the value, cut to 254 characters, or the empty text when the
  // file, the section or the key is absent or the value is empty. Never
  // writes. A missing file reads as empty (so does a folder in its place,
  // which is no file); a file that is there but cannot be read throws
  // act::Error, with the number and the file, where kernel32 would answer
  // as if it were empty: the run must not carry nothing without a word.
  virtual std::string Read(const std::string& section, const std::string& key,
                           const std::string& path) = 0;
  // WritePrivateProfileStringA(section, key, value, path): true on success,
  // false when the platform refuses the write (read-only file, missing
  // folder). Never throws for that; a file that is there but cannot be
  // read throws as Read does.
  //
  // The write may stay in the store until Flush: reads through this store
  // see it at once, but the file on the disk may not have it yet, and
  // nothing else may change, copy or move the file before Flush.
  virtual bool Write(const std::string& section, const std::string& key,
                     const std::string& value, const std::string& path) = 0;

  // Puts every write made so far into its file. Throws act::Error, with the
  // number and file that writing it gave, when a file cannot be saved; that
  // file's writes are then lost, the other files are still saved. Nothing
  // to do when nothing was written. A store dropped without it saves what
  // it holds as best it can, unheard.
  virtual void Flush() = 0;
};

// win32: the kernel32 functions. posix: our own code, reaching the files
// through the given file-system service (which must outlive the store).
std::unique_ptr<ProfileStore> NewPlatformProfileStore(FileSystem& fs);

}  // namespace act
