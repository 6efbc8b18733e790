#include "engine/settings_carry_over.h"

#include "engine/manifest.h"
#include "engine/manifest_count.h"
#include "platform/error.h"
#include "profile/mod_general.h"

namespace act {

const SettingsStage kProductSettings = {&RunPaths::manifest, "SECCIONES",
                                        &RunPaths::installed_settings, &RunPaths::staged_settings};

const SettingsStage kSearchSettings = {&RunPaths::search_manifest, "SECCIONES_SS",
                                       &RunPaths::installed_search_settings,
                                       &RunPaths::staged_search_settings};

namespace {

void CarryListedKeys(const SettingsStage& stage, const RunPaths& paths,
                     ProfileStore& profiles, RunObserver& observer) {
  const std::string& manifest = paths.*stage.manifest;
  const std::string& source = paths.*stage.source;
  const std::string& destination = paths.*stage.destination;

  int16_t sections = ReadManifestCount(profiles, manifest, stage.list_section, "secciones");
  ForEachEntry(sections, "[" + std::string(stage.list_section) + "] of " + manifest, [&](int i) {
    std::string section =
        ReadManifestText(profiles, manifest, stage.list_section, EntryKey("seccion_", i));
    int16_t keys = ReadManifestCount(profiles, manifest, stage.list_section,
                                     EntryKey("seccion_maximo_", i));
    ForEachEntry(keys, "[" + section + "] of " + manifest, [&](int j) {
      std::string key = ReadManifestText(profiles, manifest, section, EntryKey("parametro_", j));
      std::string value = leeIni(profiles, section, key, "", source);
      // An empty installed value is no value: the package's stays.
      if (value.empty()) return;
      // What the staged file had is read only for a watcher: a run without
      // one reads nothing more than it always did.
      const std::string before =
          Listening(observer) ? leeIni(profiles, section, key, "", destination) : "";
      const bool written = escribeIni(profiles, section, key, value, destination);
      observer.SettingCarried(destination, section, key, before, value, written);
      // A refused write (a folder where the file belongs, a missing folder)
      // would promote the package's value in place of the customer's, and
      // the customer's would live on only in the backup: the run stops
      // here, before the swap, with the installation in its place.
      if (!written)
        throw Error(kErrPermissionDenied, destination + " (writing [" + section + "] " + key + ")");
    });
  });
}

}  // namespace

void CarrySettings(const SettingsStage& stage, const RunPaths& paths,
                   ProfileStore& profiles, RunObserver& observer) {
  try {
    CarryListedKeys(stage, paths, profiles, observer);
  } catch (const Error&) {
    // The keys carried before the failure stay carried, as they would had
    // each write gone to the file at once; the failure is the one to report.
    try {
      profiles.Flush();
    } catch (const Error&) {
    }
    throw;
  }
  // The staged file is on the disk before the next step copies, flushes or
  // moves the staging folder.
  profiles.Flush();
}

}  // namespace act
