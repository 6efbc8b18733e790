// Manifest copies: folders, then files, that the manifest lists as pairs of
// source and destination paths on the target drive, copied before the staged
// copy is promoted (a destination inside the staging folder thus becomes part
// of the new installation).
#pragma once

#include <string>

#include "engine/run_observer.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act {

// [COPIA_CARPETAS] carpetas, carpeta_orig_<i>, carpeta_dest_<i>: CopyFolder.
void CopyListedFolders(const std::string& drive, FileSystem& fs, ProfileStore& profiles,
                       RunObserver& observer = NoObserver());

// [COPIA_ARCHIVOS] archivos, archivo_orig_<i>, archivo_dest_<i>: CopyFile.
void CopyListedFiles(const std::string& drive, FileSystem& fs, ProfileStore& profiles,
                     RunObserver& observer = NoObserver());

}  // namespace act
