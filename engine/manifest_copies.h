// Manifest copies: folders, then files, that the manifest lists as pairs of
// source and destination paths on the target drive, copied before the staged
// copy is promoted (a destination inside the staging folder thus becomes part
// of the new installation).
#pragma once

#include <string>

#include "engine/run_observer.h"
#include "engine/run_paths.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act {

// The installation and the support folder are what the swap keeps as the
// old installation; a listed copy into either (the source and destination
// of an entry swapped, say) would overwrite the customer's files before
// they are kept. Throws act::Error 70 naming the first such entry (folders,
// then files) and its key, before any copy runs. Which folder a destination
// reaches is told by the disk, so "\zentaroDeck_NEW\..\zentaroDeck" and a
// link to the installation count as inside. Entries without a source value
// are skipped as the copies skip them.
void RefuseCopiesIntoInstallation(const RunPaths& paths, FileSystem& fs,
                                  ProfileStore& profiles);

// [COPIA_CARPETAS] carpetas, carpeta_orig_<i>, carpeta_dest_<i>: CopyFolder.
void CopyListedFolders(const RunPaths& paths, FileSystem& fs, ProfileStore& profiles,
                       RunObserver& observer = NoObserver());

// [COPIA_ARCHIVOS] archivos, archivo_orig_<i>, archivo_dest_<i>: CopyFile.
void CopyListedFiles(const RunPaths& paths, FileSystem& fs, ProfileStore& profiles,
                     RunObserver& observer = NoObserver());

}  // namespace act
