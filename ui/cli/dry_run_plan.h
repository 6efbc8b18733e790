// The plan a dry run prints: what the update would do to the drive, taken
// from the events of the very run the dry run made over an overlay of the
// drives, so that plan and real run agree by construction.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_observer.h"
#include "engine/staging_room.h"
#include "engine/update_run.h"
#include "platform/file_system.h"

namespace act {

class DryRunPlan : public RunObserver {
 public:
  // fs measures the copies: the overlay the run was given.
  explicit DryRunPlan(FileSystem& fs) : fs_(fs) {}

  // What the end of the plan says beyond the run's own events.
  struct Ending {
    std::optional<StagingRoom> room;  // measured before the run
    uint64_t memory = 0;              // the most the overlay held in memory
    std::optional<uint64_t> resident;  // the process's peak resident size, when known
    std::string error;                // the report of the failure that ends the run
    bool error_in_run = true;         // false: the room, after the run's own steps
    // A run that fails: the staging folder it leaves on the drive, if any.
    std::optional<PathSize> left_behind;
  };
  void Print(std::FILE* out, const RunInputs& inputs, const Ending& ending) const;

  void StageStarted(RunStage stage) override { stage_ = stage; }
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
  void InterruptedUpdateFound(const std::string& report) override { repaired_ = report; }
  void Ended(bool completed, const std::string& message) override;

 private:
  struct Copy {
    bool folder;
    std::string source, destination;  // no destination: skipped, the source is missing
    PathSize size;
  };
  struct Setting {
    std::string file, section, key, before, after;
    bool written;
  };
  struct Table {
    std::string name;
    StatementCounts counts;
  };

  FileSystem& fs_;
  std::optional<RunStage> stage_;
  std::vector<std::string> lines_versions_, lines_gate_, values_;
  std::vector<Table> tables_;
  std::vector<Setting> settings_;
  std::vector<Copy> copies_;
  std::optional<bool> completed_;
  std::string end_message_;
  std::string repaired_;  // a swap an earlier run left half done, put right first
};

}  // namespace act
