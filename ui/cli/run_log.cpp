#include "ui/cli/run_log.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>

#include "engine/run_paths.h"
#include "ui/cli/run_texts.h"

namespace act {
namespace {

// --- The head of a line ----------------------------------------------------
// Formatted with arithmetic only, so that the signal handler can write one.

// The proleptic Gregorian date of a day counted from 1970-01-01, in eras
// of 400 years that begin on 1 March so that the leap day comes last.
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  day = int(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  month = int(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  year = year_of_era + era * 400 + (month <= 2);
}

// Local time's offset from UTC at that moment, in minutes east: at most a
// day apart, so the day of the year tells which way across midnight.
int UtcOffsetMinutes(std::time_t now) {
  const std::tm local = *std::localtime(&now);
  const std::tm utc = *std::gmtime(&now);
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  return (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
}

// Text put into a fixed buffer, cut short when it is full.
class Buffer {
 public:
  Buffer(char* text, size_t capacity) : text_(text), capacity_(capacity) {}
  void Put(const char* text, size_t size) {
    size = std::min(size, capacity_ - size_);
    std::memcpy(text_ + size_, text, size);
    size_ += size;
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  // The number in decimal, zeros in front up to `digits`.
  void Number(int64_t n, int digits = 1, char pad = '0') {
    char reversed[24];
    int count = 0;
    uint64_t rest = n < 0 ? uint64_t(-n) : uint64_t(n);
    do {
      reversed[count++] = char('0' + rest % 10);
      rest /= 10;
    } while (rest);
    if (n < 0) reversed[count++] = '-';
    for (; count < digits; --digits) Put(&pad, 1);
    while (count) Put(&reversed[--count], 1);
  }
  size_t size() const { return size_; }

 private:
  char* text_;
  size_t capacity_;
  size_t size_ = 0;
};

// "2026-12-09T20:18:04.120+01:00    0.512 s  "
void PutLineHead(Buffer& out, int64_t unix_ms, int offset_minutes, int64_t elapsed_ms) {
  const int64_t local_ms = unix_ms + int64_t(offset_minutes) * 60000;
  const int64_t days = (local_ms >= 0 ? local_ms : local_ms - 86399999) / 86400000;
  const int64_t ms_of_day = local_ms - days * 86400000;
  int64_t year;
  int month, day;
  CivilFromDays(days, year, month, day);
  out.Number(year, 4);
  out.Put("-");
  out.Number(month, 2);
  out.Put("-");
  out.Number(day, 2);
  out.Put("T");
  out.Number(ms_of_day / 3600000, 2);
  out.Put(":");
  out.Number(ms_of_day / 60000 % 60, 2);
  out.Put(":");
  out.Number(ms_of_day / 1000 % 60, 2);
  out.Put(".");
  out.Number(ms_of_day % 1000, 3);
  out.Put(offset_minutes < 0 ? "-" : "+");
  const int offset = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  out.Number(offset / 60, 2);
  out.Put(":");
  out.Number(offset % 60, 2);
  out.Put(" ");
  // "%8.3f": the whole seconds right-aligned in four places, at least.
  out.Number(elapsed_ms / 1000, 4, ' ');
  out.Put(".");
  out.Number(elapsed_ms % 1000, 3);
  out.Put(" s  ");
}

int64_t Milliseconds(std::chrono::system_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

int64_t Nanoseconds(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// --- What the signal handler writes ----------------------------------------
// Kept up to date by every line the log writes, and read by the handler
// with atomic loads only. The step is written into the copy the handler
// does not read, then handed over; once the handler has begun, the log
// writes no more, so it never reads a copy being written.
constexpr size_t kWhereSize = 2048;
struct LastWords {
  std::atomic<AppendFile> file{kNoFile};
  std::atomic<int64_t> last_line_ns{0};  // steady clock
  std::atomic<int> offset_minutes{0};
  char where[2][kWhereSize];  // "en la etapa «...», durante: ..."
  size_t where_size[2] = {0, 0};
  std::atomic<int> current{0};
  std::atomic<bool> stopped{false};
};
LastWords last_words;

void SetWhere(const std::string& text) {
  const int next = 1 - last_words.current.load();
  size_t size = std::min(text.size(), kWhereSize);
  // Cut on a character's first byte.
  while (size < text.size() && size > 0 && (text[size] & 0xC0) == 0x80) --size;
  std::memcpy(last_words.where[next], text.data(), size);
  last_words.where_size[next] = size;
  last_words.current.store(next);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

RunLog::RunLog(AppendFile file, FileSystem& fs)
    : file_(file), fs_(fs), start_(std::chrono::steady_clock::now()) {
  last_words.last_line_ns = Nanoseconds(start_);
  last_words.file = file_;
}

RunLog::~RunLog() {
  last_words.file = kNoFile;
  Close(file_);
}

void RunLog::Interrupted(const char* signal) {
  if (last_words.stopped.exchange(true)) return;
  const AppendFile file = last_words.file;
  if (file == kNoFile) return;
  const int64_t since_ns =
      Nanoseconds(std::chrono::steady_clock::now()) - last_words.last_line_ns.load();
  char line[kWhereSize + 256];
  Buffer out(line, sizeof line - sizeof kLineEnd);
  PutLineHead(out, Milliseconds(std::chrono::system_clock::now()), last_words.offset_minutes,
              since_ns / 1000000);
  out.Put("INTERRUMPIDA por ");
  out.Put(signal);
  out.Put(" ");
  const int current = last_words.current;
  out.Put(last_words.where[current], last_words.where_size[current]);
  Buffer end(line + out.size(), sizeof kLineEnd);
  end.Put(kLineEnd);
  Append(file, line, out.size() + end.size());
}

void RunLog::Line(const std::string& text, bool starting) {
  if (last_words.stopped) return;
  const auto now = std::chrono::system_clock::now();
  const auto clock = std::chrono::steady_clock::now();
  const int offset = UtcOffsetMinutes(std::chrono::system_clock::to_time_t(now));
  const int64_t since_ns = Nanoseconds(clock) - last_words.last_line_ns;

  const std::string where = ended_   ? "al final"
                            : stage_ ? std::string("en la etapa «") + StageName(*stage_) + "»"
                                     : "antes de empezar";
  SetWhere(where + (starting ? ", durante: " : ", después de: ") + text);
  last_words.offset_minutes = offset;
  last_words.last_line_ns = Nanoseconds(clock);

  char head[64];
  Buffer out(head, sizeof head);
  PutLineHead(out, Milliseconds(now), offset, since_ns / 1000000);
  const std::string line =
      std::string(head, out.size()) + (starting ? "… " : "") + text + kLineEnd;
  Append(file_, line.data(), line.size());
}

void RunLog::Began(bool dry_run) {
  start_ = std::chrono::steady_clock::now();
  last_words.last_line_ns = Nanoseconds(start_);
  Line(dry_run ? "actualizador-cli --dry-run: simulación de una actualización"
               : "actualizador-cli: actualización");
}

void RunLog::Inputs(const RunInputs& inputs) {
  Line("unidad " + inputs.drive_text + ", paquete " + RunPaths::PackageIn(inputs.updater_folder));
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

void RunLog::StepStarting(const std::string& operation, const std::string& path,
                          const std::string& destination) {
  Line(FileStepText(operation, path, destination), true);
}

void RunLog::FileStep(const std::string& operation, const std::string& path,
                      const std::string& destination) {
  Line(FileStepText(operation, path, destination) + ": hecho");
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

void RunLog::StatementStarting(const std::string&, const std::string& statement) {
  Line("sentencia " + statement, true);
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
       Quoted(after) + (written ? "" : " (escritura rechazada)"));
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
