// Several watchers of one run: each event goes to each of them in turn.
#pragma once

#include <vector>

#include "engine/run_observer.h"

namespace act {

class RunObservers : public RunObserver {
 public:
  void Add(RunObserver& observer) { all_.push_back(&observer); }
  // The run's watcher: null when nobody watches, so that the run does not
  // even read what only a watcher would want.
  RunObserver* IfAny() { return all_.empty() ? nullptr : this; }

  void StageStarted(RunStage stage) override {
    for (RunObserver* o : all_) o->StageStarted(stage);
  }
  void StepStarting(const std::string& operation, const std::string& path,
                    const std::string& destination) override {
    for (RunObserver* o : all_) o->StepStarting(operation, path, destination);
  }
  void FileStep(const std::string& operation, const std::string& path,
                const std::string& destination) override {
    for (RunObserver* o : all_) o->FileStep(operation, path, destination);
  }
  void Copied(bool folder, const std::string& source, const std::string& destination) override {
    for (RunObserver* o : all_) o->Copied(folder, source, destination);
  }
  void CopySkipped(bool folder, const std::string& source) override {
    for (RunObserver* o : all_) o->CopySkipped(folder, source);
  }
  void VersionsRead(const std::string& installed, const std::string& packaged,
                    const std::string& minimo, const std::optional<std::string>& refusal) override {
    for (RunObserver* o : all_) o->VersionsRead(installed, packaged, minimo, refusal);
  }
  void DatabaseGate(const std::string& installed, const std::string& bd_minimo,
                    bool copies_data) override {
    for (RunObserver* o : all_) o->DatabaseGate(installed, bd_minimo, copies_data);
  }
  void SettingValue(const std::string& element, const std::string& column,
                    const std::string& before, const std::string& after) override {
    for (RunObserver* o : all_) o->SettingValue(element, column, before, after);
  }
  void StatementStarting(const std::string& table, const std::string& statement) override {
    for (RunObserver* o : all_) o->StatementStarting(table, statement);
  }
  void StatementRun(const std::string& table, const std::string& statement,
                    const StatementCounts& counts) override {
    for (RunObserver* o : all_) o->StatementRun(table, statement, counts);
  }
  void RowsCopied(const std::string& table, int64_t done, int64_t total) override {
    for (RunObserver* o : all_) o->RowsCopied(table, done, total);
  }
  void SettingCarried(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& before, const std::string& after, bool written) override {
    for (RunObserver* o : all_) o->SettingCarried(file, section, key, before, after, written);
  }
  void Ended(bool completed, const std::string& message) override {
    for (RunObserver* o : all_) o->Ended(completed, message);
  }

 private:
  std::vector<RunObserver*> all_;
};

}  // namespace act
