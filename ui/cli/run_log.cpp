#include "ui/cli/run_log.h"

#include <ctime>

#include "ui/cli/run_texts.h"

namespace act {
namespace {

std::string LocalTime(std::chrono::system_clock::time_point now) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));
  char with_millis[80];
  std::snprintf(with_millis, sizeof with_millis, "%s.%03d", text, int(millis));
  return with_millis;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

RunLog::RunLog(std::FILE* file, FileSystem& fs)
    : file_(file), fs_(fs), start_(std::chrono::steady_clock::now()), last_(start_) {}

RunLog::~RunLog() { std::fclose(file_); }

void RunLog::Line(const std::string& text) {
  const auto now = std::chrono::steady_clock::now();
  std::fprintf(file_, "%s %8.3f s  %s\n", LocalTime(std::chrono::system_clock::now()).c_str(),
               Seconds(now - last_), text.c_str());
  std::fflush(file_);
  last_ = now;
}

void RunLog::Began(bool dry_run) {
  start_ = last_ = std::chrono::steady_clock::now();
  Line(dry_run ? "actualizador-cli --dry-run: simulación de una actualización"
               : "actualizador-cli: actualización");
}

void RunLog::Inputs(const RunInputs& inputs) {
  Line("unidad " + inputs.drive_text + ", paquete " + inputs.updater_folder + "\\zentaroDeck_NEW");
}

void RunLog::Room(const StagingRoom& room) {
  std::string text = "espacio en " + room.drive + ": harían falta " + ByteCount(room.needed()) +
                     " en bloques de " + std::to_string(room.block) + " bytes (el paquete " +
                     ByteCount(room.package_room) + "); libres " +
                     (room.free_bytes ? ByteCount(*room.free_bytes) : "(no se sabe)");
  if (room.leftover_room > 0)
    text += ", más " + ByteCount(room.leftover_room) + " de la carpeta de trabajo anterior";
  Line(text);
}

void RunLog::Failed(const std::string& report) {
  std::string where = ended_ ? "al final"
                      : stage_ ? std::string("en la etapa «") + StageName(*stage_) + "»"
                               : "antes de empezar";
  Line("ERROR " + where + " (" + SinceStart() + " s desde el inicio): " + report);
}

void RunLog::StageStarted(RunStage stage) {
  stage_ = stage;
  Line(std::string("etapa: ") + StageName(stage));
}

void RunLog::FileStep(const std::string& operation, const std::string& path,
                      const std::string& destination) {
  Line(FileStepText(operation, path, destination));
}

void RunLog::Copied(bool folder, const std::string& source, const std::string& destination) {
  const PathSize size = MeasurePath(fs_, source);
  Line(std::string(folder ? "copia de carpeta " : "copia de archivo ") + source + " -> " +
       destination + ": " +
       (folder ? Counted(int64_t(size.files), "archivo", "archivos") + ", " : "") +
       ByteCount(size.bytes));
}

void RunLog::CopySkipped(bool folder, const std::string& source) {
  Line(std::string("copia omitida, no existe ") + (folder ? "la carpeta " : "el archivo ") +
       source);
}

void RunLog::VersionsRead(const std::string& installed, const std::string& packaged,
                          const std::string& minimo, const std::optional<std::string>& refusal) {
  Line("versiones: instalada " + installed + ", paquete " + packaged + ", mínima " +
       Quoted(minimo) + ": " + (refusal ? "rechazada: " + *refusal : "se actualiza"));
}

void RunLog::DatabaseGate(const std::string& installed, const std::string& bd_minimo,
                          bool copies_data) {
  Line("BDminimo " + Quoted(bd_minimo) + " con la versión instalada " + installed + ": " +
       (copies_data ? "se copian todas las tablas" : "sólo se copian publicidad y dinero"));
}

void RunLog::SettingValue(const std::string& element, const std::string& column,
                          const std::string& before, const std::string& after) {
  pending_value_ = element + "." + column + ": " + Quoted(before) + " -> " + Quoted(after);
}

void RunLog::StatementRun(const std::string& table, const std::string& statement,
                          const StatementCounts& counts) {
  std::string text = "sentencia " + statement + ": ";
  if (!pending_value_.empty()) {
    text += Counted(counts.changed, "fila cambiada", "filas cambiadas") + " (" + pending_value_ +
            ")";
    pending_value_.clear();
  } else {
    text += Counted(counts.changed, "fila añadida", "filas añadidas");
  }
  if (counts.refused() > 0)
    text += ", " + Counted(counts.refused(), "rechazada", "rechazadas") + " (" +
            RefusalCauses(counts) + ")";
  Line(text);
}

void RunLog::SettingCarried(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& before,
                            const std::string& after, bool written) {
  Line("ajuste [" + section + "] " + key + " en " + file + ": " + Quoted(before) + " -> " +
       Quoted(after) + (written ? "" : " (escritura rechazada: queda el valor del paquete)"));
}

void RunLog::InterruptedUpdateFound(const std::string& report) {
  Line("actualización interrumpida puesta en orden: " + report);
}

void RunLog::Ended(bool completed, const std::string& message) {
  ended_ = true;
  Line(std::string(completed ? "fin: " : "rechazada: ") + message + " (en total " + SinceStart() +
       " s)");
}

std::string RunLog::SinceStart() const {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f",
                Seconds(std::chrono::steady_clock::now() - start_));
  return seconds;
}

}  // namespace act
