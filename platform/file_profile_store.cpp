// The profile functions in our own code: IniFile applies kernel32's rules,
// the file-system service reaches the file (so that a test can wrap it),
// and the texts cross between UTF-8 and Windows-1252 as the ANSI functions
// make them cross. Parsed files are kept between calls, checked against the
// file before every use, and changes stay in them until Flush
// (ProfileFileCache), so that a changed key costs the same whatever the
// file's size.
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/file_profile_store.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/profile_file_cache.h"
#include "platform/profile_store.h"

namespace act {
namespace {

// The size of the receiving buffer the profile routines pass.
constexpr size_t kValueBufferSize = 255;

// The ANSI functions see the program's text in the ANSI code page, so a
// character it cannot hold arrives as '?'.
std::u16string AsAnsiSees(const std::string& utf8) { return Cp1252ToUtf16(Utf8ToCp1252(utf8)); }

class FileProfileStore : public ProfileStore {
 public:
  explicit FileProfileStore(FileSystem& fs) : fs_(fs), files_(fs) {}

  ~FileProfileStore() override {
    try {
      files_.Flush();
    } catch (...) {
      // Nobody is left to hear of it; Flush is where a failure is reported.
    }
  }

  std::string Read(const std::string& section, const std::string& key,
                   const std::string& path) override {
    // A missing file reads as empty; one that cannot be read throws.
    const IniFile* file = files_.Load(path);
    if (!file) return "";
    std::u16string value = file->Get(AsAnsiSees(section), AsAnsiSees(key), kValueBufferSize);
    return Cp1252ToUtf8(Utf16ToCp1252(value));
  }

  bool Write(const std::string& section, const std::string& key, const std::string& value,
             const std::string& path) override {
    std::u16string s = AsAnsiSees(section), k = AsAnsiSees(key), v = AsAnsiSees(value);
    // kernel32 opens the file for writing before looking at it: a read-only
    // file or a missing folder refuses even a write that would change
    // nothing; a missing file is created.
    if (fs_.FileExists(path)) {
      if (IsReadOnly(path)) return false;
      // A file that cannot be read throws here.
      IniFile* file = files_.Load(path);
      if (!file) return false;
      if (file->Set(s, k, v)) files_.Changed(path, IniFile::SetKeepsShape(s, k, v));
      return true;
    }
    if (fs_.FolderExists(path)) return false;
    try {
      // A new file of one key is written at once, which is also how a
      // missing folder comes to be refused here rather than at Flush.
      IniFile created;
      created.Set(s, k, v);
      std::vector<uint8_t> bytes = created.Serialize();
      fs_.WriteFileBytes(path, bytes);
      files_.Written(path, std::move(bytes));
      return true;
    } catch (const Error&) {
      return false;
    }
  }

  void Flush() override { files_.Flush(); }

 private:
  // A file whose attributes cannot be read refuses the write, as kernel32's
  // open for writing would.
  bool IsReadOnly(const std::string& path) {
    try {
      return (fs_.GetAttributes(path) & kAttrReadOnly) != 0;
    } catch (const Error&) {
      return true;
    }
  }

  FileSystem& fs_;
  ProfileFileCache files_;
};

}  // namespace

std::unique_ptr<ProfileStore> NewFileProfileStore(FileSystem& fs) {
  return std::make_unique<FileProfileStore>(fs);
}

#ifndef _WIN32
std::unique_ptr<ProfileStore> NewPlatformProfileStore(FileSystem& fs) {
  return NewFileProfileStore(fs);
}
#endif

}  // namespace act
