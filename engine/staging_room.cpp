#include "engine/staging_room.h"

#include <cstdio>
#include <tuple>

#include "engine/file_tree.h"
#include "engine/manifest.h"
#include "engine/run_paths.h"
#include "platform/error.h"

namespace act {
namespace {

uint64_t WholeBlocks(uint64_t bytes, uint64_t block) { return (bytes + block - 1) / block * block; }

// The installed sources that [COPIA_CARPETAS] and [COPIA_ARCHIVOS] of the
// package's manifest name, as the copies will find them.
uint64_t ListedCopiesRoom(FileSystem& fs, ProfileStore& profiles, const RunPaths& paths,
                          uint64_t block) {
  const std::string& manifest = paths.package_manifest;
  uint64_t room = 0;
  for (const auto& [section, count_key, source_prefix] :
       {std::tuple{"COPIA_CARPETAS", "carpetas", "carpeta_orig_"},
        std::tuple{"COPIA_ARCHIVOS", "archivos", "archivo_orig_"}}) {
    int16_t count = 0;
    try {
      count = ReadManifestCount(profiles, manifest, section, count_key);
    } catch (const Error&) {
      continue;  // the run itself reports a count that does not fit
    }
    for (int i = 1; i <= count; ++i) {
      const std::string value = ReadManifestText(profiles, manifest, section, EntryKey(source_prefix, i));
      if (!value.empty()) room += MeasurePath(fs, paths.OnDrive(value), block).room;
    }
  }
  return room;
}

}  // namespace

PathSize MeasurePath(FileSystem& fs, const std::string& path, uint64_t block) {
  if (fs.FileExists(path)) {
    const uint64_t bytes = fs.GetFileStamp(path).size;
    return {1, bytes, WholeBlocks(bytes, block)};
  }
  PathSize size;
  ForEachFileIn(
      fs, path,
      [&](const std::string& file) {
        uint64_t bytes = 0;
        try {
          bytes = fs.GetFileStamp(file).size;
        } catch (const Error&) {
          if (fs.FileExists(file)) throw;
          return;  // gone since it was listed: see ForEachFileIn
        }
        ++size.files;
        size.bytes += bytes;
        size.room += WholeBlocks(bytes, block);
      },
      [&](const std::string&) { size.room += block; });
  return size;
}

std::optional<StagingRoom> MeasureStagingRoom(FileSystem& fs, ProfileStore& profiles,
                                              const RunInputs& inputs) {
  if (inputs.drive_text.find(':') == std::string::npos) return std::nullopt;
  const RunPaths paths(inputs.drive_text, inputs.updater_folder);
  StagingRoom room;
  room.drive = paths.drive;
  room.package = paths.package;
  if (fs.IsSameOrInsideFolder(paths.package, paths.staging)) return std::nullopt;
  if (!fs.FolderExists(paths.package)) return std::nullopt;
  room.block = fs.AllocationUnit(paths.root).value_or(1);
  const PathSize package = MeasurePath(fs, room.package, room.block);
  room.package_bytes = package.bytes;
  room.package_room = package.room;
  room.copies_room = ListedCopiesRoom(fs, profiles, paths, room.block);
  // The carried rows and settings come from the installed files, so these
  // bound what the staged ones grow; the note is one small file.
  for (const std::string* carried :
       {&paths.installed_database, &paths.installed_settings, &paths.installed_search_settings})
    room.growth_room += MeasurePath(fs, *carried, room.block).room;
  room.growth_room += room.block;
  room.leftover_room = MeasurePath(fs, paths.staging, room.block).room;
  room.free_bytes = fs.FreeSpace(paths.root);
  return room;
}

void RefuseIfTooSmall(const StagingRoom& room) {
  if (!room.CertainlyTooSmall()) return;
  std::string free = ByteCount(*room.free_bytes) + " free";
  if (room.leftover_room > 0)
    free += " and " + ByteCount(room.leftover_room) +
            " in the staging folder an earlier run left, which the run removes first";
  throw Error(kErrDiskFull,
              "the update needs " + ByteCount(room.needed()) + " on " + room.drive +
                  " at its fullest (the package " + room.package + " " +
                  ByteCount(room.package_room) + ", the listed copies " +
                  ByteCount(room.copies_room) + ", what the database and settings grow " +
                  ByteCount(room.growth_room) + ", in blocks of " + std::to_string(room.block) +
                  " bytes), which has " + free);
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
