#include "ui/cli/dry_run_plan.h"

#include "engine/run_paths.h"
#include "ui/cli/run_texts.h"

namespace act {
namespace {

void Put(std::FILE* out, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), out);
  std::fputc('\n', out);
}

}  // namespace

void DryRunPlan::Copied(bool folder, const std::string& source, const std::string& destination) {
  copies_.push_back({folder, source, destination, MeasurePath(fs_, source)});
}

void DryRunPlan::CopySkipped(bool folder, const std::string& source) {
  copies_.push_back({folder, source, "", {}});
}

void DryRunPlan::VersionsRead(const std::string& installed, const std::string& packaged,
                              const std::string& minimo,
                              const std::optional<std::string>& refusal) {
  lines_versions_ = {"  instalada " + installed + ", paquete " + packaged + ", mínima " +
                         Quoted(minimo),
                     refusal ? "  rechazada: " + *refusal : "  se actualizaría"};
}

void DryRunPlan::DatabaseGate(const std::string& installed, const std::string& bd_minimo,
                              bool copies_data) {
  lines_gate_ = {"  BDminimo " + Quoted(bd_minimo) + " con la versión instalada " + installed +
                 ": " + (copies_data ? "pasa, se copiarían todas las tablas"
                                     : "no pasa, sólo se copiarían publicidad y dinero")};
}

void DryRunPlan::SettingValue(const std::string& element, const std::string& column,
                              const std::string& before, const std::string& after) {
  if (before != after)
    values_.push_back("  " + element + "." + column + ": " + Quoted(before) + " -> " +
                      Quoted(after));
}

void DryRunPlan::StatementRun(const std::string& table, const std::string& statement,
                              const StatementCounts& counts) {
  if (table != "configuracion") tables_.push_back({table, counts});
}

void DryRunPlan::SettingCarried(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& before,
                                const std::string& after, bool written) {
  settings_.push_back({file, section, key, before, after, written});
}

void DryRunPlan::Ended(bool completed, const std::string& message) {
  completed_ = completed;
  end_message_ = message;
}

void DryRunPlan::Print(std::FILE* out, const RunInputs& inputs, const Ending& ending) const {
  Put(out, "Simulación de la actualización de " + inputs.drive_text + " con el paquete " +
               RunPaths::PackageIn(inputs.updater_folder) + " (no se ha escrito nada).");
  if (!repaired_.empty()) Put(out, "Primero se pondría en orden la unidad. " + repaired_);
  if (!lines_versions_.empty()) {
    Put(out, "Versiones:");
    for (const std::string& line : lines_versions_) Put(out, line);
  }
  if (!lines_gate_.empty()) {
    Put(out, "Base de datos:");
    for (const std::string& line : lines_gate_) Put(out, line);
    for (const Table& t : tables_)
      Put(out, "  " + t.name + ": " +
                   Counted(t.counts.changed + t.counts.refused(), "fila", "filas") +
                   ", se añadirían " + std::to_string(t.counts.changed) + ", rechazadas " +
                   std::to_string(t.counts.refused()) + " (" + RefusalCauses(t.counts) + ")");
    Put(out, values_.empty() ? "Ningún valor de configuracion cambiaría."
                             : "Valores de configuracion que cambiarían:");
    for (const std::string& line : values_) Put(out, line);
  }
  std::string file;
  for (const Setting& s : settings_) {
    if (s.file != file) Put(out, "Ajustes que se traspasarían a " + (file = s.file) + ":");
    Put(out, "  [" + s.section + "] " + s.key + ": " + Quoted(s.before) + " -> " + Quoted(s.after) +
                 (s.written ? "" : " (la escritura se rechazaría)"));
  }
  if (!copies_.empty()) Put(out, "Copias:");
  for (const Copy& c : copies_) {
    const char* kind = c.folder ? "carpeta " : "archivo ";
    if (c.destination.empty()) {
      Put(out, std::string("  ") + kind + c.source + ": no existe, se omitiría");
      continue;
    }
    Put(out, std::string("  ") + kind + c.source + " -> " + c.destination + ": " +
                 (c.folder ? Counted(int64_t(c.size.files), "archivo", "archivos") + ", " : "") +
                 ByteCount(c.size.bytes));
  }
  const std::string free =
      !ending.room ? ""
      : "; libres " + (ending.room->free_bytes ? ByteCount(*ending.room->free_bytes)
                                               : std::string("(no se sabe)"));
  if (!ending.error.empty() && ending.error_in_run) {
    // What the customer is left with, rather than what a run that does not
    // get there would have needed.
    const RunPaths paths(inputs.drive_text);
    Put(out, "Espacio en " + paths.drive + ": la actualización fallida " +
                 (ending.left_behind
                      ? "dejaría en la unidad la carpeta de trabajo " + paths.staging + ", " +
                            Counted(int64_t(ending.left_behind->files), "archivo", "archivos") +
                            ", " + ByteCount(ending.left_behind->bytes)
                      : "no dejaría carpeta de trabajo en la unidad") +
                 free);
  } else if (ending.room) {
    const StagingRoom& room = *ending.room;
    Put(out, "Espacio en " + room.drive + ": harían falta " + ByteCount(room.needed()) +
                 " en el momento de más ocupación, en bloques de " + std::to_string(room.block) +
                 " bytes (el paquete " + ByteCount(room.package_room) + ", las copias " +
                 ByteCount(room.copies_room) + ", lo que crecen la base de datos y los ajustes " +
                 ByteCount(room.growth_room) + "); libres " +
                 (room.free_bytes ? ByteCount(*room.free_bytes) : "(no se sabe)") +
                 (room.leftover_room ? ", más " + ByteCount(room.leftover_room) +
                                           " de la carpeta de trabajo anterior, que se borraría"
                                     : ""));
  }
  // The figure a user compares with what the system's tools show is the
  // process's own; the overlay's is only the part that grows with the
  // drive's changes.
  const std::string simulated =
      "los cambios simulados ocuparon hasta " + ByteCount(ending.memory);
  Put(out, "Memoria usada por la simulación: " +
               (ending.resident ? ByteCount(*ending.resident) +
                                      " en su punto máximo (lo que mide el sistema); " + simulated
                                : simulated) +
               ".");
  if (!ending.error.empty()) {
    Put(out, std::string("Resultado: la actualización fallaría") +
                 (stage_ && ending.error_in_run
                      ? std::string(" en la etapa «") + StageName(*stage_) + "»"
                      : "") +
                 ": " +
                 ending.error);
  } else if (completed_ && *completed_) {
    Put(out, "Resultado: la actualización se haría y terminaría con \"" + end_message_ + "\".");
  } else if (completed_) {
    Put(out, "Resultado: la actualización sería rechazada: \"" + end_message_ + "\".");
  }
}

}  // namespace act
