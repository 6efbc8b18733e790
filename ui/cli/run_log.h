// The log of a run (--log FILE), for whoever answers the phone afterwards:
// one line per step, appended to the file as it is written, so that a run
// that dies leaves its last step behind. Each line begins with the local
// time, with its offset from UTC so that logs from machines in other zones
// compare, and how long since the line before:
//
//   2025-03-07T10:15:01.919+01:00    0.001 s  … copia de carpeta
//       q:\zentaroDeck\skins -> q:\zentaroDeck_NEW\skins
//   2025-03-07T10:15:02.431+01:00    0.512 s  copia de carpeta
//       q:\zentaroDeck\skins -> q:\zentaroDeck_NEW\skins: 40 archivos, 160.0 KB (163840 bytes)
//
// A step that changes the drive or the staged database gets a line marked
// "…" before it is made and its result line after, so that the log never
// shows less than the drive: a last line marked "…" is the step the run
// died in. A failed run ends with a line "ERROR en la etapa «...»" and the
// error report; a run stopped by a signal with "INTERRUMPIDA por ..." and
// the step it stopped, written from the signal handler (Interrupted).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "engine/run_observer.h"
#include "engine/staging_room.h"
#include "engine/update_run.h"
#include "platform/file_system.h"
#include "ui/cli/cli_host.h"

namespace act {

class RunLog : public RunObserver {
 public:
  // Takes the open file and closes it. fs measures the copies: the run's own
  // service, so that a dry run measures what it would copy. One log at a
  // time: it is the one Interrupted writes to.
  RunLog(AppendFile file, FileSystem& fs);
  ~RunLog() override;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // The line a signal that stops the program leaves in the log: the signal,
  // and the step it stopped or the last one done. Safe in a signal handler
  // (CatchInterruptions); after it the log writes nothing more.
  static void Interrupted(const char* signal);

  // The first line of a run, and the drive and package it was given.
  void Began(bool dry_run);
  void Inputs(const RunInputs& inputs);
  void Room(const StagingRoom& room);
  // The error report that ended the run.
  void Failed(const std::string& report);

  void StageStarted(RunStage stage) override;
  void StepStarting(const std::string& operation, const std::string& path,
                    const std::string& destination) override;
  void FileStep(const std::string& operation, const std::string& path,
                const std::string& destination) override;
  void Copied(bool folder, const std::string& source, const std::string& destination) override;
  void CopySkipped(bool folder, const std::string& source) override;
  void VersionsRead(const std::string& installed, const std::string& packaged,
                    const std::string& minimo, const std::optional<std::string>& refusal) override;
  void DatabaseGate(const std::string& installed, const std::string& bd_minimo,
                    bool copies_data) override;
  void SettingValue(const std::string& element, const std::string& column,
                    const std::string& before, const std::string& after) override;
  void StatementStarting(const std::string& table, const std::string& statement) override;
  void StatementRun(const std::string& table, const std::string& statement,
                    const StatementCounts& counts) override;
  void SettingCarried(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& before, const std::string& after, bool written) override;
  void InterruptedUpdateFound(const std::string& report) override;
  void Ended(bool completed, const std::string& message) override;

 private:
  // A line for a step done, or for one about to be made (starting).
  void Line(const std::string& text, bool starting = false);
  std::string SinceStart() const;

  AppendFile file_;
  FileSystem& fs_;
  std::chrono::steady_clock::time_point start_;
  std::optional<RunStage> stage_;
  bool ended_ = false;  // the run itself is over: a failure now is the room's
  std::string pending_value_;  // the configuracion value the next statement sets
};

}  // namespace act
