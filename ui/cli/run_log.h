// The log of a run (--log FILE), for whoever answers the phone afterwards:
// one line per step, appended to the file and flushed as it is written, so
// that a run that dies leaves its last step behind. Each line begins with
// the local time and how long the step took (the time since the line
// before):
//
//   2025-03-07 10:15:02.431    0.512 s  copia de carpeta q:\zentaroDeck\skins
//       -> q:\zentaroDeck_NEW\skins: 40 archivos, 160.0 KB (163840 bytes)
//
// A failed run ends with a line "ERROR en la etapa «...»" and the error
// report, after the last step that was done.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/run_observer.h"
#include "engine/staging_room.h"
#include "engine/update_run.h"
#include "platform/file_system.h"

namespace act {

class RunLog : public RunObserver {
 public:
  // Takes the open file and closes it. fs measures the copies: the run's own
  // service, so that a dry run measures what it would copy.
  RunLog(std::FILE* file, FileSystem& fs);
  ~RunLog() override;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // The first line of a run, and the drive and package it was given.
  void Began(bool dry_run);
  void Inputs(const RunInputs& inputs);
  void Room(const StagingRoom& room);
  // The error report that ended the run.
  void Failed(const std::string& report);

  void StageStarted(RunStage stage) override;
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
  void StatementRun(const std::string& table, const std::string& statement,
                    const StatementCounts& counts) override;
  void SettingCarried(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& before, const std::string& after, bool written) override;
  void InterruptedUpdateFound(const std::string& report) override;
  void Ended(bool completed, const std::string& message) override;

 private:
  void Line(const std::string& text);
  std::string SinceStart() const;

  std::FILE* file_;
  FileSystem& fs_;
  std::chrono::steady_clock::time_point start_, last_;
  std::optional<RunStage> stage_;
  bool ended_ = false;  // the run itself is over: a failure now is the room's
  std::string pending_value_;  // the configuracion value the next statement sets
};

}  // namespace act
