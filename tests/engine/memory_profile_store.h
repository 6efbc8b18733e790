// An in-memory ProfileStore that logs every read and write, for the tests
// that must show which manifest entries a stage looks at (and which it does
// not), or that run tens of thousands of entries quickly.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/profile_store.h"

namespace act::test {

class MemoryProfileStore : public ProfileStore {
 public:
  void Set(const std::string& path, const std::string& section, const std::string& key,
           const std::string& value) {
    files_[path][section][key] = value;
  }
  void SetReadOnly(const std::string& path) { read_only_.insert(path); }
  // The stored value, or "<absent>".
  std::string Get(const std::string& path, const std::string& section,
                  const std::string& key) const {
    auto f = files_.find(path);
    if (f == files_.end()) return "<absent>";
    auto s = f->second.find(section);
    if (s == f->second.end()) return "<absent>";
    auto k = s->second.find(key);
    return k == s->second.end() ? "<absent>" : k->second;
  }
  bool HasFile(const std::string& path) const { return files_.count(path) != 0; }

  std::string Read(const std::string& section, const std::string& key,
                   const std::string& path) override {
    reads.push_back(path + "|" + section + "|" + key);
    std::string value = Get(path, section, key);
    if (value == "<absent>") return "";
    return value.substr(0, 254);
  }
  bool Write(const std::string& section, const std::string& key, const std::string& value,
             const std::string& path) override {
    writes.push_back(path + "|" + section + "|" + key + "=" + value);
    if (read_only_.count(path)) return false;
    files_[path][section][key] = value;
    writes_since_flush_ = true;
    return true;
  }
  // Counts the flushes that had writes to save.
  void Flush() override {
    if (writes_since_flush_) ++flushes;
    writes_since_flush_ = false;
  }
  bool HasUnflushedWrites() const { return writes_since_flush_; }

  std::vector<std::string> reads;
  std::vector<std::string> writes;
  int flushes = 0;

 private:
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> files_;
  std::set<std::string> read_only_;
  bool writes_since_flush_ = false;
};

}  // namespace act::test
