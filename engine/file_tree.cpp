#include "engine/file_tree.h"

#include <vector>

#include "platform/error.h"

namespace act {

namespace {

// `walk` holds the folders the walk came through to reach folder.
void Walk(FileSystem& fs, const std::string& folder,
          const std::function<void(const std::string& path)>& visit,
          const std::function<void(const std::string& path)>& visit_folder,
          std::vector<std::string>& walk) {
  if (!fs.FolderExists(folder)) return;
  // A link back to a folder the walk came through would be walked without
  // end; what it leads to is visited once already.
  for (const std::string& outer : walk)
    if (fs.IsSameOrInsideFolder(outer, folder)) return;
  walk.push_back(folder);
  if (visit_folder) visit_folder(folder);
  const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
  std::vector<std::string> names;
  try {
    names = fs.ListFolder(folder);
  } catch (const Error&) {
    // Another run on the drive may be moving or clearing the folder while
    // a measure walks it (the measure comes before the drive is taken): a
    // folder that is gone by now holds nothing.
    if (fs.FolderExists(folder)) throw;
  }
  for (const std::string& name : names) {
    const std::string path = prefix + name;
    if (fs.FolderExists(path)) {
      Walk(fs, path, visit, visit_folder, walk);
    } else if (fs.FileExists(path)) {
      visit(path);
    }
  }
  walk.pop_back();
}

}  // namespace

void ForEachFileIn(FileSystem& fs, const std::string& folder,
                   const std::function<void(const std::string& path)>& visit,
                   const std::function<void(const std::string& path)>& visit_folder) {
  std::vector<std::string> walk;
  Walk(fs, folder, visit, visit_folder, walk);
}

void ClearReadOnlyIn(FileSystem& fs, const std::string& folder) {
  ForEachFileIn(fs, folder, [&](const std::string& path) {
    const uint32_t attributes = fs.GetAttributes(path);
    if (attributes & kAttrReadOnly) fs.SetAttributes(path, attributes & ~uint32_t{kAttrReadOnly});
  });
}

}  // namespace act
