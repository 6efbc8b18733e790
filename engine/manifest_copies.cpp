#include "engine/manifest_copies.h"

#include "engine/manifest.h"
#include "engine/manifest_count.h"
#include "platform/error.h"
#include "platform/file_names.h"

namespace act {
namespace {

struct CopyKind {
  const char* section;
  const char* count_key;
  const char* source_prefix;
  const char* destination_prefix;
  bool folders;
};

constexpr CopyKind kFolderCopies = {"COPIA_CARPETAS", "carpetas", "carpeta_orig_", "carpeta_dest_",
                                    true};
constexpr CopyKind kFileCopies = {"COPIA_ARCHIVOS", "archivos", "archivo_orig_", "archivo_dest_",
                                  false};

// The folder that a destination lies in on the disk: the destination itself
// when it is a folder, else the nearest existing folder it would be made in.
// The names are those Windows resolves ("x\..\y" is "y"); which folder they
// reach is for the file-system service to tell.
std::string FolderOfDestination(FileSystem& fs, const RunPaths& paths, const std::string& value) {
  std::vector<std::string> names = PathNames(value);
  while (true) {
    std::string path = paths.root;
    for (size_t k = 0; k < names.size(); ++k) path += (k ? "\\" : "") + names[k];
    if (names.empty() || fs.FolderExists(path)) return path;
    names.pop_back();
  }
}

void RefuseListedIntoInstallation(const CopyKind& kind, const RunPaths& paths, FileSystem& fs,
                                  ProfileStore& profiles) {
  const std::string& manifest = paths.manifest;
  int16_t count;
  try {
    count = ReadManifestCount(profiles, manifest, kind.section, kind.count_key);
  } catch (const Error& e) {
    // A count that does not fit ends the run when its own step reads it.
    if (e.number() != kErrOverflow) throw;
    return;
  }
  const std::string kept[] = {paths.installation, paths.support};
  for (int i = 1; i <= count; ++i) {
    if (ReadManifestText(profiles, manifest, kind.section, EntryKey(kind.source_prefix, i)).empty())
      continue;
    const std::string key = EntryKey(kind.destination_prefix, i);
    const std::string value = ReadManifestText(profiles, manifest, kind.section, key);
    const std::string folder = FolderOfDestination(fs, paths, value);
    for (const std::string& outer : kept) {
      if (!fs.IsSameOrInsideFolder(folder, outer)) continue;
      throw Error(kErrPermissionDenied, "[" + std::string(kind.section) + "] " + key + "=" + value +
                                            " in " + manifest + ": " + paths.OnDrive(value) +
                                            " lies inside " + outer +
                                            ", which no listed copy may change");
    }
  }
}

void CopyListed(const CopyKind& kind, const RunPaths& paths, FileSystem& fs,
                ProfileStore& profiles, RunObserver& observer) {
  const std::string& manifest = paths.manifest;
  int16_t count = ReadManifestCount(profiles, manifest, kind.section, kind.count_key);
  ForEachEntry(count, "[" + std::string(kind.section) + "] of " + manifest, [&](int i) {
    std::string source_value =
        ReadManifestText(profiles, manifest, kind.section, EntryKey(kind.source_prefix, i));
    // Without a source value the source would be the bare drive ("c:"), and
    // copying "the whole drive" somewhere is never what a manifest means:
    // such an entry is skipped like a missing source.
    if (source_value.empty()) return;
    // Values are glued to the drive unchanged: "\fotos" gives "c:\fotos",
    // "fotos" gives "c:fotos" (relative to that drive's current folder).
    std::string source = paths.OnDrive(source_value);
    // Only the source is tested; a missing one is skipped without a word and
    // its destination key is not even read.
    if (!(kind.folders ? fs.FolderExists(source) : fs.FileExists(source))) {
      observer.CopySkipped(kind.folders, source);
      return;
    }
    std::string destination = paths.OnDrive(ReadManifestText(
        profiles, manifest, kind.section, EntryKey(kind.destination_prefix, i)));
    observer.StepStarting(kind.folders ? "CopyFolder" : "CopyFile", source, destination);
    if (kind.folders)
      fs.CopyFolder(source, destination, true);
    else
      fs.CopyFile(source, destination, true);
    observer.Copied(kind.folders, source, destination);
  });
}

}  // namespace

void RefuseCopiesIntoInstallation(const RunPaths& paths, FileSystem& fs,
                                  ProfileStore& profiles) {
  RefuseListedIntoInstallation(kFolderCopies, paths, fs, profiles);
  RefuseListedIntoInstallation(kFileCopies, paths, fs, profiles);
}

void CopyListedFolders(const RunPaths& paths, FileSystem& fs, ProfileStore& profiles,
                       RunObserver& observer) {
  CopyListed(kFolderCopies, paths, fs, profiles, observer);
}

void CopyListedFiles(const RunPaths& paths, FileSystem& fs, ProfileStore& profiles,
                     RunObserver& observer) {
  CopyListed(kFileCopies, paths, fs, profiles, observer);
}

}  // namespace act
