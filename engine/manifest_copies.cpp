#include "engine/manifest_copies.h"

#include "engine/manifest.h"
#include "engine/manifest_count.h"

namespace act {
namespace {

struct CopyKind {
  const char* section;
  const char* count_key;
  const char* source_prefix;
  const char* destination_prefix;
  bool folders;
};

void CopyListed(const CopyKind& kind, const std::string& drive, FileSystem& fs,
                ProfileStore& profiles, RunObserver& observer) {
  const std::string manifest = drive + kManifestFile;
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
    std::string source = drive + source_value;
    // Only the source is tested; a missing one is skipped without a word and
    // its destination key is not even read.
    if (!(kind.folders ? fs.FolderExists(source) : fs.FileExists(source))) {
      observer.CopySkipped(kind.folders, source);
      return;
    }
    std::string destination =
        drive + ReadManifestText(profiles, manifest, kind.section,
                                 EntryKey(kind.destination_prefix, i));
    observer.StepStarting(kind.folders ? "CopyFolder" : "CopyFile", source, destination);
    if (kind.folders)
      fs.CopyFolder(source, destination, true);
    else
      fs.CopyFile(source, destination, true);
    observer.Copied(kind.folders, source, destination);
  });
}

}  // namespace

void CopyListedFolders(const std::string& drive, FileSystem& fs, ProfileStore& profiles,
                       RunObserver& observer) {
  CopyListed({"COPIA_CARPETAS", "carpetas", "carpeta_orig_", "carpeta_dest_", true}, drive, fs,
             profiles, observer);
}

void CopyListedFiles(const std::string& drive, FileSystem& fs, ProfileStore& profiles,
                     RunObserver& observer) {
  CopyListed({"COPIA_ARCHIVOS", "archivos", "archivo_orig_", "archivo_dest_", false}, drive, fs,
             profiles, observer);
}

}  // namespace act
