// How the command line's log and dry-run plan name the steps of a run.
#pragma once

#include <string>

#include "engine/run_observer.h"

namespace act {

// "copia del paquete", "traspaso de la base de datos", ...
const char* StageName(RunStage stage);

// A file-system step of the run, e.g. "mover carpeta q:\zentaroDeck ->
// q:\SOPORTE\zentaroDeck_2.0.0.0".
std::string FileStepText(const std::string& operation, const std::string& path,
                         const std::string& destination);

// "n fila" or "n filas", and the like.
std::string Counted(int64_t n, const char* one, const char* many);

// The refusals by cause, "clave duplicada 3, valor obligatorio o relación 0,
// valor que no cabe 0".
std::string RefusalCauses(const StatementCounts& counts);

// A value between apostrophes, as the log and the plan show values.
std::string Quoted(const std::string& value);

}  // namespace act
