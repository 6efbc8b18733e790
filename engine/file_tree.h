// Walks over the files of a folder's tree through the file-system service.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"

namespace act {

// Calls visit with the path of every file under folder, at any depth, in
// the order the folders list them. An entry that is neither a file nor a
// folder (a dangling link) is passed over; a missing folder has no files. A
// link back to a folder the walk came through is not followed again.
// visit_folder, when given, hears of every folder walked, folder itself
// first.
void ForEachFileIn(FileSystem& fs, const std::string& folder,
                   const std::function<void(const std::string& path)>& visit,
                   const std::function<void(const std::string& path)>& visit_folder = nullptr);

// Takes the read-only attribute off every file under folder and leaves
// their other attributes as they are.
void ClearReadOnlyIn(FileSystem& fs, const std::string& folder);

}  // namespace act
