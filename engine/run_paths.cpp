#include "engine/run_paths.h"

#include "platform/error.h"

namespace act {

std::string TargetDrive(const std::string& drive_text) {
  size_t colon = drive_text.find(':');
  if (colon == std::string::npos)
    throw Error(kErrDeviceUnavailable, "no drive in the drive text '" + drive_text + "'");
  return drive_text.substr(0, colon + 1);
}

RunPaths::RunPaths(const std::string& drive_text, const std::string& updater_folder)
    : drive(TargetDrive(drive_text)),
      root(drive + "\\"),
      package(PackageIn(updater_folder)),
      installation(drive + "\\zentaroDeck"),
      staging(drive + "\\zentaroDeck_NEW"),
      support(drive + "\\SOPORTE"),
      installed_executable(installation + "\\zentaroDeck.exe"),
      staged_executable(staging + "\\zentaroDeck.exe"),
      installed_database(installation + "\\datos.mdb"),
      staged_database(staging + "\\datos.new"),
      promoted_database(staging + "\\datos.mdb"),
      manifest(staging + "\\actualizador.ini"),
      search_manifest(staging + "\\update_ss.ini"),
      promoted_manifest(installation + "\\actualizador.ini"),
      promoted_search_manifest(installation + "\\update_ss.ini"),
      package_manifest(package + "\\actualizador.ini"),
      installed_settings(installation + "\\configuracion.ini"),
      staged_settings(staging + "\\configuracion.ini"),
      installed_search_settings(installation + "\\supersearch\\settings.ini"),
      staged_search_settings(staging + "\\supersearch\\settings.ini"),
      drive_lock(support + "\\actualizador.bloqueo"),
      swap_note(support + "\\actualizacion_en_curso.txt"),
      swap_note_draft(support + "\\actualizacion_en_curso.tmp"),
      unversioned_backup(support + "\\zentaroDeck") {}

std::string RunPaths::PackageIn(const std::string& updater_folder) {
  return updater_folder + "\\zentaroDeck_NEW";
}

std::string RunPaths::Backup(const std::string& version) const {
  return support + "\\zentaroDeck_" + version;
}

}  // namespace act
