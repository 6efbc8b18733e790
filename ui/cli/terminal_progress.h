// Progress of the long steps on one line of a terminal, rewritten in place:
// the bytes of the package copied so far (within each file too) and the
// file being copied, and the rows of each table copy. Only made when
// standard error is a terminal; anything else gets nothing extra.
//
// The line never wraps: it is fitted to the terminal's width at each
// redraw, the file name shortened first, the figures last. A step shows nothing until it has
// lasted a tenth of a second; a step that showed its progress ends with its
// final figure (100 % for the package) on a line of its own, which stays.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/run_observer.h"

namespace act {

class TerminalProgress : public RunObserver {
 public:
  // package_bytes: the size of the package, for the staging copy's total
  // (0 when unknown). columns: the terminal's width now, 0 when unknown.
  TerminalProgress(std::FILE* terminal, uint64_t package_bytes, std::function<int()> columns)
      : terminal_(terminal), package_bytes_(package_bytes), columns_(std::move(columns)) {}

  // Bytes of a file just copied (FileSystem::SetCopyProgress).
  void FileCopied(const std::string& file, uint64_t bytes);
  // Wipes the line, before anything else is written to the terminal.
  void Clear();

  void StageStarted(RunStage stage) override;
  void StepStarting(const std::string&, const std::string&, const std::string&) override {
    Begin();
  }
  // A step other than a copy done: a move across file systems copies too,
  // and has no figure to end on.
  void FileStep(const std::string&, const std::string&, const std::string&) override { Clear(); }
  void Copied(bool folder, const std::string& source, const std::string& destination) override;
  void StatementStarting(const std::string&, const std::string&) override { Begin(); }
  void RowsCopied(const std::string& table, int64_t done, int64_t total) override;
  void StatementRun(const std::string& table, const std::string& statement,
                    const StatementCounts& counts) override;
  void Ended(bool, const std::string&) override { Clear(); }

 private:
  void Begin();
  std::string CopyFigures() const;
  std::string RowFigures() const;
  // Draws "label: figures name", fitted to the terminal; unless `done`, not
  // more often than the eye can follow. `done` ends the step's line.
  void Show(const std::string& label, const std::string& figures, const std::string& name,
            bool done);

  std::FILE* terminal_;
  uint64_t package_bytes_;
  std::function<int()> columns_;
  RunStage stage_ = RunStage::kStaging;
  uint64_t copied_ = 0;
  std::string table_;
  int64_t rows_done_ = 0, rows_total_ = 0;
  std::chrono::steady_clock::time_point step_began_, last_shown_;
  size_t shown_width_ = 0;  // the line on the screen now
  bool step_shown_ = false;  // the current step has drawn its line
};

}  // namespace act
