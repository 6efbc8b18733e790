// Settings carry-over: the values the installed product holds for the keys
// that the manifest lists are written into the staged copy of the same
// profile file, so the new installation keeps them. Keys not listed, and
// listed keys without an installed value, keep the package's values.
#pragma once

#include <string>

#include "engine/run_observer.h"
#include "engine/run_paths.h"
#include "platform/profile_store.h"

namespace act {

// The files of one stage, as members of the run's paths.
struct SettingsStage {
  std::string RunPaths::*manifest;     // the staged manifest that lists the keys
  const char* list_section;            // its section with secciones / seccion_<i>
  std::string RunPaths::*source;       // the installed profile file
  std::string RunPaths::*destination;  // the staged profile file
};

// configuracion.ini, listed in actualizador.ini under SECCIONES.
extern const SettingsStage kProductSettings;
// supersearch\settings.ini, listed in update_ss.ini under SECCIONES_SS.
extern const SettingsStage kSearchSettings;

// Carries the listed values of one stage.
// Writes are made in the order of the lists. The store is flushed before
// the stage returns, so the staged file holds every carried value, even
// when the stage fails part-way. Throws act::Error 6 when a count does not
// fit 16 bits, 70 naming the file and the key when the platform refuses a
// write, and the store's error when the staged file cannot be saved.
// observer hears of every key carried, a refused one too.
void CarrySettings(const SettingsStage& stage, const RunPaths& paths,
                   ProfileStore& profiles, RunObserver& observer = NoObserver());

}  // namespace act
