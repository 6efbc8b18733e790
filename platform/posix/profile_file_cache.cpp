#include "platform/posix/profile_file_cache.h"

#include "platform/error.h"

namespace act {

ProfileFileCache::Entry* ProfileFileCache::Find(const std::string& path) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->path == path) {
      entries_.splice(entries_.begin(), entries_, it);
      return &entries_.front();
    }
  }
  return nullptr;
}

IniFile* ProfileFileCache::Load(const std::string& path) {
  // The stamp is taken before the bytes are read: a write between the two
  // then leaves a stamp that no longer matches, never a stale model.
  FileStamp stamp;
  std::vector<uint8_t> bytes;
  try {
    stamp = fs_.GetFileStamp(path);
    Entry* kept = Find(path);
    if (kept && kept->stamp.settled && kept->stamp == stamp) return &kept->file;
    bytes = fs_.ReadFileBytes(path);
    if (kept && kept->bytes == bytes) {
      kept->stamp = stamp;
      return &kept->file;
    }
  } catch (const Error&) {
    Forget(path);
    return nullptr;
  }
  Forget(path);
  IniFile file = IniFile::Parse(bytes);
  entries_.push_front(Entry{path, stamp, std::move(bytes), std::move(file)});
  if (entries_.size() > kMaxFiles) entries_.pop_back();
  return &entries_.front().file;
}

void ProfileFileCache::Written(const std::string& path, std::vector<uint8_t> bytes,
                               bool model_exact) {
  Entry* kept = Find(path);
  if (!kept) {
    entries_.push_front(Entry{path, FileStamp{}, {}, IniFile::Parse({})});
    if (entries_.size() > kMaxFiles) entries_.pop_back();
    kept = &entries_.front();
    model_exact = false;
  }
  if (!model_exact) kept->file = IniFile::Parse(bytes);
  kept->bytes = std::move(bytes);
  kept->stamp.settled = false;
}

void ProfileFileCache::Forget(const std::string& path) {
  entries_.remove_if([&](const Entry& e) { return e.path == path; });
}

}  // namespace act
