#include "engine/manifest.h"

#include "engine/manifest_count.h"
#include "profile/mod_general.h"

namespace act {

std::string ReadManifestText(ProfileStore& profiles, const std::string& file,
                             const std::string& section, const std::string& key) {
  return leeIni(profiles, section, key, "", file);
}

int16_t ReadManifestCount(ProfileStore& profiles, const std::string& file,
                          const std::string& section, const std::string& key) {
  return ToCount(ReadManifestText(profiles, file, section, key),
                 "[" + section + "] " + key + " of " + file);
}

std::string EntryKey(const char* prefix, int number) {
  return prefix + std::to_string(number);
}

}  // namespace act
