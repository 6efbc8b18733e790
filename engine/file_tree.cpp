#include "engine/file_tree.h"

namespace act {

void ForEachFileIn(FileSystem& fs, const std::string& folder,
                   const std::function<void(const std::string& path)>& visit) {
  if (!fs.FolderExists(folder)) return;
  const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
  for (const std::string& name : fs.ListFolder(folder)) {
    const std::string path = prefix + name;
    if (fs.FolderExists(path)) {
      ForEachFileIn(fs, path, visit);
    } else if (fs.FileExists(path)) {
      visit(path);
    }
  }
}

void ClearReadOnlyIn(FileSystem& fs, const std::string& folder) {
  ForEachFileIn(fs, folder, [&](const std::string& path) {
    const uint32_t attributes = fs.GetAttributes(path);
    if (attributes & kAttrReadOnly) fs.SetAttributes(path, attributes & ~uint32_t{kAttrReadOnly});
  });
}

}  // namespace act
