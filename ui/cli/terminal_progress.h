// Progress of the long steps on one line of a terminal, rewritten in place:
// the bytes of the package copied so far, and the rows of each table copy.
// Only made when standard error is a terminal; anything else gets nothing
// extra.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/run_observer.h"

namespace act {

class TerminalProgress : public RunObserver {
 public:
  // package_bytes: the size of the package, for the staging copy's total
  // (0 when unknown).
  TerminalProgress(std::FILE* terminal, uint64_t package_bytes)
      : terminal_(terminal), package_bytes_(package_bytes) {}

  // A file of a folder copy copied (FileSystem::SetCopyProgress).
  void FileCopied(uint64_t bytes);
  // Wipes the line, before anything else is written to the terminal.
  void Clear();

  void StageStarted(RunStage stage) override;
  void RowsCopied(const std::string& table, int64_t done, int64_t total) override;
  void StatementRun(const std::string&, const std::string&, const StatementCounts&) override {
    Clear();
  }
  void Ended(bool, const std::string&) override { Clear(); }

 private:
  void Show(const std::string& text);

  std::FILE* terminal_;
  uint64_t package_bytes_;
  RunStage stage_ = RunStage::kStaging;
  uint64_t copied_ = 0;
  size_t shown_width_ = 0;
  std::chrono::steady_clock::time_point last_shown_;
};

}  // namespace act
