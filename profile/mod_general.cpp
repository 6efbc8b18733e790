#include "profile/mod_general.h"

namespace act {

std::string leeIni(ProfileStore& store, const std::string& section, const std::string& key,
                   const std::string& default_value, const std::string& path) {
  std::string value = store.Read(section, key, path);
  if (!value.empty()) return value;
  // The write-back's result is deliberately ignored: a file we cannot write
  // still reads as the default.
  if (!default_value.empty()) escribeIni(store, section, key, default_value, path);
  return default_value;
}

bool escribeIni(ProfileStore& store, const std::string& section, const std::string& key,
                const std::string& value, const std::string& path) {
  return store.Write(section, key, value, path);
}

}  // namespace act
