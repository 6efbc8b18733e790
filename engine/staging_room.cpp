#include "engine/staging_room.h"

#include <cstdio>
#include <vector>

#include "engine/run_paths.h"
#include "platform/error.h"

namespace act {

namespace {

// `walk` holds the folders the measure came through to reach path.
PathSize Measure(FileSystem& fs, const std::string& path, std::vector<std::string>& walk) {
  PathSize size;
  if (fs.FileExists(path)) return {1, fs.GetFileStamp(path).size};
  if (!fs.FolderExists(path)) return size;
  // A link back to a folder the walk came through would be measured
  // without end; what it leads to is counted once already.
  for (const std::string& outer : walk)
    if (fs.IsSameOrInsideFolder(outer, path)) return size;
  walk.push_back(path);
  const std::string folder = path.back() == '\\' ? path : path + "\\";
  for (const std::string& name : fs.ListFolder(path)) {
    PathSize inner = Measure(fs, folder + name, walk);
    size.files += inner.files;
    size.bytes += inner.bytes;
  }
  walk.pop_back();
  return size;
}

}  // namespace

PathSize MeasurePath(FileSystem& fs, const std::string& path) {
  std::vector<std::string> walk;
  return Measure(fs, path, walk);
}

std::optional<StagingRoom> MeasureStagingRoom(FileSystem& fs, const RunInputs& inputs) {
  if (inputs.drive_text.find(':') == std::string::npos) return std::nullopt;
  StagingRoom room;
  room.drive = TargetDrive(inputs.drive_text);
  room.package = inputs.updater_folder + "\\zentaroDeck_NEW";
  if (fs.IsSameOrInsideFolder(room.package, room.drive + "\\zentaroDeck_NEW")) return std::nullopt;
  if (!fs.FolderExists(room.package)) return std::nullopt;
  room.package_bytes = MeasurePath(fs, room.package).bytes;
  room.leftover_bytes = MeasurePath(fs, room.drive + "\\zentaroDeck_NEW").bytes;
  room.free_bytes = fs.FreeSpace(room.drive + "\\");
  return room;
}

void RefuseIfTooSmall(const StagingRoom& room) {
  if (!room.CertainlyTooSmall()) return;
  std::string free = ByteCount(*room.free_bytes) + " free";
  if (room.leftover_bytes > 0)
    free += " and " + ByteCount(room.leftover_bytes) +
            " in the staging folder an earlier run left, which the run removes first";
  throw Error(kErrDiskFull, "the package " + room.package + " needs " +
                                ByteCount(room.package_bytes) + " on " + room.drive +
                                ", which has " + free);
}

std::string ByteCount(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = double(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) value /= 1024, ++unit;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return std::string(text) + " (" + std::to_string(bytes) + " bytes)";
}

}  // namespace act
