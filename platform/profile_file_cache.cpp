#include "platform/profile_file_cache.h"

#include <optional>

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

ProfileFileCache::Entry& ProfileFileCache::Keep(const std::string& path, FileStamp stamp,
                                                std::vector<uint8_t> bytes) {
  Forget(path);
  IniFile file = IniFile::Parse(bytes);
  entries_.push_front(Entry{path, stamp, std::move(bytes), std::move(file), false, {}});
  if (entries_.size() > kMaxFiles) {
    // The least recently used file that holds no pending changes goes.
    for (auto it = entries_.end(); it != std::next(entries_.begin());) {
      if (!(--it)->pending) {
        entries_.erase(it);
        break;
      }
    }
  }
  return entries_.front();
}

IniFile* ProfileFileCache::Load(const std::string& path) {
  Entry* kept = Find(path);
  if (kept && kept->pending) return &kept->file;
  // The stamp is taken before the bytes are read: a write between the two
  // then leaves a stamp that no longer matches, never a stale model.
  FileStamp stamp;
  std::vector<uint8_t> bytes;
  try {
    stamp = fs_.GetFileStamp(path);
    if (kept && kept->stamp.settled && kept->stamp == stamp) return &kept->file;
    bytes = fs_.ReadFileBytes(path);
    if (kept && kept->bytes == bytes) {
      kept->stamp = stamp;
      return &kept->file;
    }
  } catch (const Error& e) {
    Forget(path);
    if (e.number() == kErrFileNotFound || e.number() == kErrPathNotFound) return nullptr;
    throw;
  }
  return &Keep(path, stamp, std::move(bytes)).file;
}

void ProfileFileCache::Changed(const std::string& path, bool shape_kept) {
  Entry* kept = Find(path);
  if (!kept) return;
  kept->save_as.clear();
  if (!shape_kept) {
    kept->save_as = kept->file.Serialize();
    kept->file = IniFile::Parse(kept->save_as);
  }
  kept->pending = true;
}

void ProfileFileCache::Written(const std::string& path, std::vector<uint8_t> bytes) {
  // The stamp of a file just written says nothing about who wrote last: the
  // next use compares contents.
  Keep(path, FileStamp{}, std::move(bytes));
}

void ProfileFileCache::Flush() {
  std::optional<Error> first_failure;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (!it->pending) {
      ++it;
      continue;
    }
    std::vector<uint8_t> bytes = it->save_as.empty() ? it->file.Serialize() : std::move(it->save_as);
    it->save_as.clear();
    try {
      fs_.WriteFileBytes(it->path, bytes);
    } catch (const Error& e) {
      // The kept model holds changes the file lacks: only the disk's
      // contents may answer from now on.
      if (!first_failure) first_failure = e;
      it = entries_.erase(it);
      continue;
    }
    it->bytes = std::move(bytes);
    it->stamp = FileStamp{};
    it->pending = false;
    ++it;
  }
  if (first_failure) throw *first_failure;
}

void ProfileFileCache::Forget(const std::string& path) {
  entries_.remove_if([&](const Entry& e) { return e.path == path; });
}

}  // namespace act
