// Where the update run finds and puts things. Built once from the drive the
// operator picked and the folder the updater runs from; every stage takes
// its paths from here, so each name is spelled in one place. The texts are
// glued exactly as the product's folders are named: "c:" and the names
// below, never a normalised or long-path form, since the messages and the
// swap's note show them as they are.
#pragma once

#include <string>

namespace act {

// The drive text up to and including its first ':' ("c: [DATOS]" gives
// "c:"). A text without a colon names no drive: every path of the run would
// then be relative to the current drive, so it fails with 68 Device
// unavailable instead.
std::string TargetDrive(const std::string& drive_text);

struct RunPaths {
  // drive_text as the drive list shows it ("c:" or "c: [DATOS]"; throws as
  // TargetDrive does); updater_folder the folder of the running updater,
  // empty where no package is involved (finishing an interrupted swap).
  explicit RunPaths(const std::string& drive_text, const std::string& updater_folder = "");

  std::string drive;          // c:
  std::string root;           // c:\  (free space, allocation block)
  std::string package;        // <updater folder>\zentaroDeck_NEW
  std::string installation;   // c:\zentaroDeck
  std::string staging;        // c:\zentaroDeck_NEW
  std::string support;        // c:\SOPORTE

  std::string installed_executable;  // c:\zentaroDeck\zentaroDeck.exe
  std::string staged_executable;     // c:\zentaroDeck_NEW\zentaroDeck.exe
  std::string installed_database;    // c:\zentaroDeck\datos.mdb
  std::string staged_database;       // c:\zentaroDeck_NEW\datos.new, what the carry-over fills
  std::string promoted_database;     // c:\zentaroDeck_NEW\datos.mdb, its name once filled

  // The update manifest, read only from the staging folder.
  std::string manifest;         // c:\zentaroDeck_NEW\actualizador.ini
  std::string search_manifest;  // c:\zentaroDeck_NEW\update_ss.ini
  // The same two as the promotion leaves them in the installation, where
  // they are removed.
  std::string promoted_manifest;         // c:\zentaroDeck\actualizador.ini
  std::string promoted_search_manifest;  // c:\zentaroDeck\update_ss.ini
  // The package's own manifest, measured before anything is staged.
  std::string package_manifest;  // <updater folder>\zentaroDeck_NEW\actualizador.ini

  std::string installed_settings;         // c:\zentaroDeck\configuracion.ini
  std::string staged_settings;            // c:\zentaroDeck_NEW\configuracion.ini
  std::string installed_search_settings;  // c:\zentaroDeck\supersearch\settings.ini
  std::string staged_search_settings;     // c:\zentaroDeck_NEW\supersearch\settings.ini

  std::string drive_lock;       // c:\SOPORTE\actualizador.bloqueo
  std::string swap_note;        // c:\SOPORTE\actualizacion_en_curso.txt
  std::string swap_note_draft;  // c:\SOPORTE\actualizacion_en_curso.tmp
  // Where an installation without a version would have gone; removed
  // before the swap so that no stale copy sits beside the backup.
  std::string unversioned_backup;  // c:\SOPORTE\zentaroDeck

  // The package folder beside an updater: the one place a package is looked
  // for, before anything is known of the drive.
  static std::string PackageIn(const std::string& updater_folder);

  // Where the installation of that version is kept: the version text goes
  // into the name verbatim (c:\SOPORTE\zentaroDeck_1.2.3).
  std::string Backup(const std::string& version) const;
  // A manifest's value glued to the drive unchanged: "\fotos" gives
  // "c:\fotos", "fotos" gives "c:fotos".
  std::string OnDrive(const std::string& value) const { return drive + value; }
};

}  // namespace act
