// Where a kill of the update landed, read from what it left on the drive.
// A killed process says nothing, so the step is told from the folders
// instead: each carry-over stage writes only its own files in the staging
// folder, and each move of the swap changes which folders exist, so the
// first stage whose files do not yet hold their final bytes is the one the
// run was in (or was about to begin) when it died.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace act::test {

// Relative path ('/' separated) -> "size:hash" of a file or "<folder>";
// {"<absent>", ""} for a folder that does not exist. Large trees are
// compared by digest rather than by holding their bytes.
using Digest = std::map<std::string, std::string>;
Digest TreeDigest(const std::filesystem::path& root);

enum class Landing {
  kStagingCopy,      // the package still being copied to \zentaroDeck_NEW
  kBeforeDatabase,   // copied; versions, gate, attributes; no page written yet
  kDatabase,         // the rows carried into datos.new
  kSettings,         // configuracion.ini
  kFolderCopies,     // skins, fotos
  kFileCopies,       // licencia.txt
  kSearchSettings,   // supersearch\settings.ini
  kFlush,            // everything carried over; the flush under way or done, datos.new not renamed
  kSwapBeforeBackup, // datos.new renamed, support folder; installation still in place
  kBackupOnly,       // installation moved to the backup, staging not promoted
  kManifests,        // promoted; a manifest file still in it
  kAfterLastStep,    // the new installation complete: killed on the way out
};
constexpr int kLandings = static_cast<int>(Landing::kAfterLastStep) + 1;
const char* LandingName(Landing landing);

// The references a landing is told from.
struct RunReferences {
  Digest old_installation;  // \zentaroDeck before the run
  Digest package;           // the package's zentaroDeck_NEW
  Digest new_installation;  // \zentaroDeck after an uninterrupted run
  // \zentaroDeck_NEW as the swap finds it: the new installation with the
  // two manifest files the promotion still carries.
  Digest Staged() const;
};

// installation, staging: \zentaroDeck and \zentaroDeck_NEW after the kill.
Landing LandingOf(const RunReferences& refs, const Digest& installation, const Digest& staging);

}  // namespace act::test
