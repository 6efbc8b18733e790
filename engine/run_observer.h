// What an update run tells whoever watches it, step by step. The log of a
// run, the plan of a dry run and a progress display are readers of these
// events; the run itself depends on none of them, and a run without a
// watcher does exactly what it did before there were any.
//
// Each event comes right after the step it tells of (StageStarted and
// RowsCopied before and during it), in the run's own order; a step that
// changes the drive or the staged database is also announced right before
// it is made (StepStarting, StatementStarting), so that a watcher that
// writes each event down as it comes never shows less than the drive holds,
// even when the process dies in the middle of the step. A failure throws
// past them, so the last stage started and the last event heard tell where
// a failed run stopped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/statement_counts.h"

namespace act {

enum class RunStage {
  kStaging,          // the package copied onto the target drive
  kVersionGate,      // the versions read and compared
  kDatabase,         // traspasaBaseDatos
  kProductSettings,  // configuracion.ini
  kFolderCopies,     // [COPIA_CARPETAS]
  kFileCopies,       // [COPIA_ARCHIVOS]
  kSearchSettings,   // supersearch\settings.ini
  kSwap,             // the old installation kept, the staged copy promoted
};

using db::StatementCounts;

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  virtual void StageStarted(RunStage stage) {}
  // A file-system step about to be made, by its FileSystemObject name:
  // those FileStep tells of, and each copy ("CopyFolder", "CopyFile") that
  // Copied tells of.
  virtual void StepStarting(const std::string& operation, const std::string& path,
                            const std::string& destination) {}
  // A file-system step of the run other than a copy, by its
  // FileSystemObject name: the staging folder cleared, attributes made
  // normal, each flush, move, creation and deletion of the swap; and
  // "ClearReadOnly" on the staging folder, once its files are writable.
  virtual void FileStep(const std::string& operation, const std::string& path,
                        const std::string& destination) {}
  // A folder or file copied: the package, or a listed copy.
  virtual void Copied(bool folder, const std::string& source, const std::string& destination) {}
  // A listed copy skipped because its source is missing.
  virtual void CopySkipped(bool folder, const std::string& source) {}
  // The version gate: refusal holds its message when it refuses the run.
  virtual void VersionsRead(const std::string& installed, const std::string& packaged,
                            const std::string& minimo,
                            const std::optional<std::string>& refusal) {}
  // The BDminimo gate: whether the data tables are copied too.
  virtual void DatabaseGate(const std::string& installed, const std::string& bd_minimo,
                            bool copies_data) {}
  // A configuracion value the staged database is about to get, with the
  // one it has (the statement that sets it follows).
  virtual void SettingValue(const std::string& element, const std::string& column,
                            const std::string& before, const std::string& after) {}
  // A statement of the database carry-over about to run, on the table it
  // writes.
  virtual void StatementStarting(const std::string& table, const std::string& statement) {}
  // A statement of the database carry-over, run, on the table it writes.
  virtual void StatementRun(const std::string& table, const std::string& statement,
                            const StatementCounts& counts) {}
  // While a table is copied: the rows gone through so far, of its total.
  virtual void RowsCopied(const std::string& table, int64_t done, int64_t total) {}
  // A settings key carried into a staged profile file, with the value the
  // file had; written is false when the platform refused the write, which
  // then ends the run.
  virtual void SettingCarried(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& before,
                              const std::string& after, bool written) {}
  // A swap that an earlier run left half done, found and put right before
  // anything else: what was found and what was done.
  virtual void InterruptedUpdateFound(const std::string& report) {}
  // The run's last message: the end, or a refusal.
  virtual void Ended(bool completed, const std::string& message) {}
};

// The watcher that hears nothing. The stages skip the work that only a
// watcher needs (reading the value a key is about to lose) when given it.
RunObserver& NoObserver();
inline bool Listening(const RunObserver& observer) { return &observer != &NoObserver(); }

// Makes one file-system step of the run, telling the observer right before
// and right after it; a step that throws is heard of only before.
template <typename Step>
void ObservedStep(RunObserver& observer, const char* operation, const std::string& path,
                  const std::string& destination, Step&& step) {
  observer.StepStarting(operation, path, destination);
  step();
  observer.FileStep(operation, path, destination);
}

}  // namespace act
