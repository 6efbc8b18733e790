#include "engine/manifest.h"

#include <algorithm>

#include "platform/error.h"
#include "engine/manifest_count.h"
#include "profile/mod_general.h"

namespace act {

void CheckManifestFile(FileSystem& fs, const std::string& file) {
  if (fs.FolderExists(file))
    throw Error(kErrPathFileAccess, file + " is a folder, not a profile file");
  if (!fs.FileExists(file)) return;
  std::vector<uint8_t> bytes = fs.ReadFileBytes(file);
  // Profile files are text: a NUL byte means something else took its place.
  if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end())
    throw Error(kErrPathFileAccess, file + " is not a profile file (binary content)");
}

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
