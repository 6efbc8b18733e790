// The update run, step by step:
//   stage the package on the target drive (drive\zentaroDeck_NEW);
//   read the installed and the packaged version and refuse unsuitable pairs;
//   make the two staged files the carry-over writes into writable;
//   carry over database, product settings, listed folders and files, and
//   search settings, in that order;
//   keep the old installation as drive\SOPORTE\zentaroDeck_<version>, promote
//   the staged copy, remove the manifest from it and report the end.
// Nothing is caught here: the first failing operation throws act::Error and
// the target drive keeps what the steps before it made. Every existence test
// is asked right before the operation it guards, never cached.
#include "engine/update_run.h"

#include "engine/manifest.h"
#include "engine/manifest_copies.h"
#include "engine/run_paths.h"
#include "engine/settings_carry_over.h"
#include "engine/version_gate.h"
#include "platform/error.h"

namespace act {
namespace {

constexpr const char* kTitle = "z-entaro";

void StagePackage(FileSystem& fs, const std::string& package, const std::string& staging) {
  // A staging folder left by an earlier failed run goes first, read-only
  // files and all.
  if (fs.FolderExists(staging)) fs.DeleteFolder(staging, true);
  fs.CopyFolder(package, staging, true);
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

void SwapInstallations(FileSystem& fs, const std::string& drive, const std::string& current) {
  const std::string installation = drive + "\\zentaroDeck";
  const std::string staging = drive + "\\zentaroDeck_NEW";
  const std::string support = drive + "\\SOPORTE";

  // Everything the run wrote into the staging folder (the package copy, the
  // carried database rows, settings and listed copies) goes to the disk
  // before the renames below make it the installation: a power cut after
  // them must find whole files there, not what the write cache never wrote.
  fs.FlushFolder(staging);

  // A datos.mdb that the package brought itself makes this move fail: the
  // installation is then still in its place.
  fs.MoveFile(staging + "\\" + "datos.new", staging + "\\" + "datos.mdb");
  if (!fs.FolderExists(support)) fs.CreateFolder(support);

  // The version text goes into the name verbatim.
  const std::string backup = support + "\\zentaroDeck_" + current;
  if (fs.FolderExists(backup)) fs.DeleteFolder(backup, true);
  fs.MoveFolder(installation, backup);

  const std::string unversioned = support + "\\zentaroDeck";
  if (fs.FolderExists(unversioned)) fs.DeleteFolder(unversioned, true);

  if (!fs.FolderExists(installation)) fs.MoveFolder(staging, installation);

  // Without force: a read-only manifest fails here, after the promotion.
  for (const char* manifest : {"\\actualizador.ini", "\\update_ss.ini"}) {
    const std::string path = installation + manifest;
    if (fs.FileExists(path)) fs.DeleteFile(path, false);
  }
}

}  // namespace

RunOutcome RunUpdate(const RunInputs& inputs, RunServices& services) {
  FileSystem& fs = services.fs;
  ProfileStore& profiles = services.profiles;
  const std::string drive = TargetDrive(inputs.drive_text);
  const std::string package = inputs.updater_folder + "\\zentaroDeck_NEW";
  const std::string staging = drive + "\\zentaroDeck_NEW";

  // Started from the root of the target drive, the package would be the
  // staging folder, and clearing the staging folder would destroy it. Refuse
  // before anything is touched. The same folder can have other names than
  // the staging folder's (another drive letter for the same folder, a short
  // name, a link): what counts is which folder it is on the disk.
  if (fs.IsSameOrInsideFolder(package, staging)) {
    services.boxes.Show("Advertencia!: No se puede actualizar desde " + inputs.updater_folder +
                            ": el paquete de actualización es la carpeta " + staging +
                            ". Ejecute el actualizador desde otra carpeta o unidad.",
                        kMsgStop, kTitle);
    return RunOutcome::kRefused;
  }

  StagePackage(fs, package, staging);

  const std::string current =
      MainExecutableVersion(fs, drive + "\\zentaroDeck\\zentaroDeck.exe");
  const std::string packaged = MainExecutableVersion(fs, staging + "\\zentaroDeck.exe");
  CheckManifestFile(fs, drive + kManifestFile);
  const std::string minimo =
      ReadManifestText(profiles, drive + kManifestFile, "VERSIONES", "minimo");
  if (auto refusal = VersionGateRefusal(current, packaged, minimo)) {
    services.boxes.Show(*refusal, kMsgStop, kTitle);
    fs.DeleteFolder(staging, true);
    return RunOutcome::kRefused;
  }

  fs.SetAttributes(staging + "\\configuracion.ini", kAttrNormal);
  fs.SetAttributes(staging + "\\" + "datos.new", kAttrNormal);

  if (services.database) services.database->traspasaBaseDatos(drive, current);
  CarrySettings(kProductSettings, drive, profiles);
  CopyListedFolders(drive, fs, profiles);
  CopyListedFiles(drive, fs, profiles);
  CheckManifestFile(fs, drive + kSearchManifestFile);
  CarrySettings(kSearchSettings, drive, profiles);

  SwapInstallations(fs, drive, current);

  services.boxes.Show("Fin De La actualización", kMsgInformation, kTitle);
  return RunOutcome::kCompleted;
}

}  // namespace act
