// The update run, step by step:
//   take the drive, so that no other run works on it meanwhile, and finish
//   a swap that an earlier run left half done;
//   stage the package on the target drive (drive\zentaroDeck_NEW);
//   read the installed and the packaged version and refuse unsuitable pairs;
//   make the staged copy writable, and the two staged files the carry-over
//   writes into normal;
//   carry over database, product settings, listed folders and files, and
//   search settings, in that order;
//   keep the old installation as drive\SOPORTE\zentaroDeck_<version>, promote
//   the staged copy, remove the manifest from it and report the end.
// Nothing is caught here: the first failing operation throws act::Error and
// the target drive keeps what the steps before it made; only a stop between
// the swap's two moves needs the next run to put it right. Every existence
// test is asked right before the operation it guards, never cached. A
// watcher, if the caller gives one, hears of each step right before and
// right after it; it changes none.
#include "engine/update_run.h"

#include "engine/drive_lock.h"
#include "engine/file_tree.h"
#include "engine/manifest.h"
#include "engine/manifest_copies.h"
#include "engine/run_paths.h"
#include "engine/settings_carry_over.h"
#include "engine/swap_journal.h"
#include "engine/version_gate.h"
#include "platform/error.h"

namespace act {
namespace {

constexpr const char* kTitle = "z-entaro";

// A folder an earlier run left goes, read-only files and all.
void DeleteFolderIfThere(FileSystem& fs, const std::string& folder, RunObserver& observer) {
  if (!fs.FolderExists(folder)) return;
  ObservedStep(observer, "DeleteFolder", folder, "", [&] { fs.DeleteFolder(folder, true); });
}

void StagePackage(FileSystem& fs, const std::string& package, const std::string& staging,
                  RunObserver& observer) {
  // A staging folder left by an earlier failed run goes first.
  DeleteFolderIfThere(fs, staging, observer);
  observer.StepStarting("CopyFolder", package, staging);
  fs.CopyFolder(package, staging, true);
  observer.Copied(true, package, staging);
}

// The version of a main executable. A file that is no PE image, is cut
// short or has no version record gives no text; updating on that ground
// would name the backup "zentaroDeck_" and take a damaged installation or
// package for a version, so the run stops there instead.
std::string MainExecutableVersion(FileSystem& fs, const std::string& path) {
  std::string version = fs.GetFileVersion(path);
  if (version.empty())
    throw Error(kErrInvalidProcedureCall, "no version record in " + path);
  return version;
}

void SwapInstallations(FileSystem& fs, const RunPaths& paths, const std::string& current,
                       const std::string& packaged, DriveLock& lock, RunObserver& observer) {
  const std::string& installation = paths.installation;
  const std::string& staging = paths.staging;
  const std::string& support = paths.support;

  // Everything the run wrote into the staging folder (the package copy, the
  // carried database rows, settings and listed copies) goes to the disk
  // before the renames below make it the installation: a power cut after
  // them must find whole files there, not what the write cache never wrote.
  ObservedStep(observer, "FlushFolder", staging, "", [&] { fs.FlushFolder(staging); });

  // A datos.mdb that the package brought itself makes this move fail: the
  // installation is then still in its place.
  ObservedStep(observer, "MoveFile", paths.staged_database, paths.promoted_database,
               [&] { fs.MoveFile(paths.staged_database, paths.promoted_database); });
  // The support folder is the run's to keep from here on, whether the lock
  // or this step made it.
  lock.KeepSupportFolder();
  if (!fs.FolderExists(support))
    ObservedStep(observer, "CreateFolder", support, "", [&] { fs.CreateFolder(support); });

  // Both deletes come before anything moves, so that the two moves follow
  // each other directly: a delete that fails, or takes long over many
  // files, happens while the installation is still in its place.
  const std::string backup = paths.Backup(current);
  DeleteFolderIfThere(fs, backup, observer);
  DeleteFolderIfThere(fs, paths.unversioned_backup, observer);

  // Between the two moves the drive has no installation folder; the note
  // lets whoever takes the drive next finish the swap if this run stops
  // there.
  NoteSwap(fs, paths, current, packaged, observer);
  ObservedStep(observer, "MoveFolder", installation, backup,
               [&] { fs.MoveFolder(installation, backup); });
  // The installation has just moved away, so nothing is there. Should
  // something be found all the same (a second folder whose name differs
  // only in letter case, on a host file system that tells them apart), the
  // run fails on it: going on would report the end with no installation.
  if (fs.FolderExists(installation)) throw Error(kErrFileAlreadyExists, installation);
  ObservedStep(observer, "MoveFolder", staging, installation,
               [&] { fs.MoveFolder(staging, installation); });
  EndSwapNote(fs, paths, observer);

  RemoveManifestFiles(fs, paths, observer);
}

// Files copied from a disc keep its read-only attribute. The staged copy
// is the run's own: the carried settings go into it, and once promoted its
// manifest files are deleted without force. What the listed copies bring
// from the installation comes later and keeps its attributes.
void MakeStagedCopyWritable(FileSystem& fs, const RunPaths& paths, RunObserver& observer) {
  ObservedStep(observer, "ClearReadOnly", paths.staging, "",
               [&] { ClearReadOnlyIn(fs, paths.staging); });
  for (const std::string& written : {paths.staged_settings, paths.staged_database}) {
    ObservedStep(observer, "SetAttributes", written, "",
                 [&] { fs.SetAttributes(written, kAttrNormal); });
  }
}

// What the installation holds goes into the staged copy: database,
// product settings, listed folders and files, and search settings, in that
// order.
void CarryInstalledData(const RunPaths& paths, const std::string& current,
                        RunServices& services, RunObserver& observer) {
  FileSystem& fs = services.fs;
  ProfileStore& profiles = services.profiles;
  if (services.database) {
    observer.StageStarted(RunStage::kDatabase);
    services.database->traspasaBaseDatos(paths, current, observer);
  }
  observer.StageStarted(RunStage::kProductSettings);
  CarrySettings(kProductSettings, paths, profiles, observer);
  observer.StageStarted(RunStage::kFolderCopies);
  RefuseCopiesIntoInstallation(paths, fs, profiles);
  CopyListedFolders(paths, fs, profiles, observer);
  observer.StageStarted(RunStage::kFileCopies);
  CopyListedFiles(paths, fs, profiles, observer);
  observer.StageStarted(RunStage::kSearchSettings);
  CheckManifestFile(fs, paths.search_manifest);
  CarrySettings(kSearchSettings, paths, profiles, observer);
}

}  // namespace

RunOutcome RunUpdate(const RunInputs& inputs, RunServices& services) {
  FileSystem& fs = services.fs;
  ProfileStore& profiles = services.profiles;
  RunObserver& observer = services.observer ? *services.observer : NoObserver();
  const RunPaths paths(inputs.drive_text, inputs.updater_folder);
  const std::string& package = paths.package;
  const std::string& staging = paths.staging;

  // Started from the root of the target drive, the package would be the
  // staging folder, and clearing the staging folder would destroy it. Refuse
  // before anything is touched. The same folder can have other names than
  // the staging folder's (another drive letter for the same folder, a short
  // name, a link): what counts is which folder it is on the disk.
  if (fs.IsSameOrInsideFolder(package, staging)) {
    const std::string refusal = "Advertencia!: No se puede actualizar desde " +
                                inputs.updater_folder +
                                ": el paquete de actualización es la carpeta " + staging +
                                ". Ejecute el actualizador desde otra carpeta o unidad.";
    services.boxes.Show(refusal, kMsgStop, kTitle);
    observer.Ended(false, refusal);
    return RunOutcome::kRefused;
  }

  // One run at a time on the drive, held until the run returns or throws.
  std::unique_ptr<DriveLock> own_lock;
  DriveLock* lock = services.drive_lock;
  if (!lock) {
    own_lock = TakeDriveForRun(inputs, fs, services.boxes, services.observer);
    if (!own_lock) return RunOutcome::kRefused;
    lock = own_lock.get();
  }
  // A swap an earlier run left half done is finished first: until then the
  // drive may have no installation folder, and the staging folder that
  // the next step clears may be the only complete new installation.
  if (std::optional<std::string> report = FinishInterruptedSwap(fs, paths, observer))
    services.boxes.Show(*report, kMsgInformation, kTitle);

  observer.StageStarted(RunStage::kStaging);
  StagePackage(fs, package, staging, observer);

  observer.StageStarted(RunStage::kVersionGate);
  const std::string current = MainExecutableVersion(fs, paths.installed_executable);
  const std::string packaged = MainExecutableVersion(fs, paths.staged_executable);
  CheckManifestFile(fs, paths.manifest);
  const std::string minimo = ReadManifestText(profiles, paths.manifest, "VERSIONES", "minimo");
  const std::optional<std::string> refusal = VersionGateRefusal(current, packaged, minimo);
  observer.VersionsRead(current, packaged, minimo, refusal);
  if (refusal) {
    services.boxes.Show(*refusal, kMsgStop, kTitle);
    ObservedStep(observer, "DeleteFolder", staging, "", [&] { fs.DeleteFolder(staging, true); });
    observer.Ended(false, *refusal);
    return RunOutcome::kRefused;
  }

  MakeStagedCopyWritable(fs, paths, observer);
  CarryInstalledData(paths, current, services, observer);

  observer.StageStarted(RunStage::kSwap);
  SwapInstallations(fs, paths, current, packaged, *lock, observer);

  const std::string end = "Fin De La actualización";
  services.boxes.Show(end, kMsgInformation, kTitle);
  observer.Ended(true, end);
  return RunOutcome::kCompleted;
}

std::unique_ptr<DriveLock> TakeDriveForRun(const RunInputs& inputs, FileSystem& fs,
                                           MessageBoxes& boxes, RunObserver* watcher) {
  RunObserver& observer = watcher ? *watcher : NoObserver();
  const RunPaths paths(inputs.drive_text, inputs.updater_folder);
  std::unique_ptr<DriveLock> lock = DriveLock::Take(fs, paths, observer);
  if (!lock) {
    const std::string refusal = DriveBusyRefusal(paths.drive);
    boxes.Show(refusal, kMsgStop, kTitle);
    observer.Ended(false, refusal);
  }
  return lock;
}

void FinishInterruptedUpdate(const std::string& drive_text, FileSystem& fs, MessageBoxes& boxes) {
  if (drive_text.find(':') == std::string::npos) return;
  const RunPaths paths(drive_text);
  if (!fs.FileExists(paths.swap_note)) return;
  std::unique_ptr<DriveLock> lock = DriveLock::Take(fs, paths, NoObserver());
  if (!lock) return;
  if (std::optional<std::string> report = FinishInterruptedSwap(fs, paths, NoObserver()))
    boxes.Show(*report, kMsgInformation, kTitle);
}

}  // namespace act
