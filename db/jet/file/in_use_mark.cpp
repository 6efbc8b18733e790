#include "db/jet/file/in_use_mark.h"

#include "db/errors.h"

namespace act::db::jet {
namespace {

// Jet 3's user locks: one byte each at 0x10000000 + n, n from 1 to 255.
constexpr uint64_t kFirstUserByte = 0x10000001;
constexpr uint64_t kUserBytes = 255;

}  // namespace

std::string LockFileOf(const std::string& database) {
  const size_t name = database.find_last_of("\\/:");
  const size_t dot = database.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (name == std::string::npos || dot > name);
  return (has_extension ? database.substr(0, dot) : database) + ".ldb";
}

std::unique_ptr<FileLock> MarkInUse(FileSystem& fs, const std::string& database) {
  std::unique_ptr<FileLock> mark = fs.LockFile(LockFileOf(database), kFirstUserByte, kUserBytes);
  if (!mark) {
    throw JetFailure(kJetFileInUse, "'" + database + "': another program has it open (" +
                                        LockFileOf(database) + ")");
  }
  return mark;
}

}  // namespace act::db::jet
