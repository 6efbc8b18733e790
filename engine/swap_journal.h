// The swap's note on the drive. Between the move of the old installation to
// its version backup and the promotion of the staged copy the drive has no
// \zentaroDeck; a run stopped there (killed, the power cut, a failing move)
// would leave it so. Before the first move the run notes on the drive what
// the swap is about to do, on the disk before anything moves, and removes
// the note once the promotion is done. Whoever takes the drive next finds
// the note and finishes what was begun, before anything else: the staged
// copy, complete once the note exists, is promoted; without it the version
// backup goes back to \zentaroDeck.
#pragma once

#include <optional>
#include <string>

#include "engine/run_observer.h"
#include "engine/run_paths.h"
#include "platform/file_system.h"

namespace act {

// Notes that the swap is about to move drive\zentaroDeck to the version
// backup of `installed` and promote the staged copy of `packaged`; returns
// once the note is on the disk.
void NoteSwap(FileSystem& fs, const RunPaths& paths, const std::string& installed,
              const std::string& packaged, RunObserver& observer);

// The promotion is done: the note goes.
void EndSwapNote(FileSystem& fs, const RunPaths& paths, RunObserver& observer);

// Finishes a swap that a note says was under way, and returns what was
// found and done, for the operator; nothing when there is no note. The
// caller holds the drive (DriveLock). Throws act::Error, keeping the note,
// when neither the staged copy nor the version backup can be put in place.
std::optional<std::string> FinishInterruptedSwap(FileSystem& fs, const RunPaths& paths,
                                                 RunObserver& observer);

// Deletes the update manifest from the promoted installation, without force:
// a read-only manifest fails here, after the promotion.
void RemoveManifestFiles(FileSystem& fs, const RunPaths& paths, RunObserver& observer);

}  // namespace act
