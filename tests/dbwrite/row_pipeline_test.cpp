// The pipeline behind long appends: rows reach commit in the order fill
// gave them, each prepared first; fill and commit always run on the calling
// thread (so file operations keep one order on every run); a failure in any
// stage ends the run with that failure and without committing later rows.
#include "db/exec/row_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace act::db::exec {
namespace {

struct Row {
  int number = -1;
  int prepared = 0;  // times prepare saw this row with this number
  std::thread::id prepared_on;
};

struct PipelineRun {
  int rows = 0;
  int fail_fill_at = -1, fail_prepare_at = -1, fail_commit_at = -1;
  std::vector<int> committed;
  std::vector<std::thread::id> prepared_on;
  bool fill_and_commit_on_caller = true;

  void Go(size_t batch) {
    const std::thread::id caller = std::this_thread::get_id();
    int next = 0;
    auto fill = [&](Row& r) {
      fill_and_commit_on_caller &= std::this_thread::get_id() == caller;
      if (next == fail_fill_at) throw std::runtime_error("fill");
      if (next == rows) return false;
      r.number = next++;
      r.prepared = 0;
      return true;
    };
    auto prepare = [&](Row& r) {
      if (r.number == fail_prepare_at) throw std::runtime_error("prepare");
      ++r.prepared;
      r.prepared_on = std::this_thread::get_id();
    };
    auto commit = [&](Row& r) {
      fill_and_commit_on_caller &= std::this_thread::get_id() == caller;
      if (r.number == fail_commit_at) throw std::runtime_error("commit");
      ASSERT_EQ(r.prepared, 1) << "row " << r.number;
      committed.push_back(r.number);
      prepared_on.push_back(r.prepared_on);
    };
    RunPipelined<Row>(batch, fill, prepare, commit);
  }
};

std::vector<int> Upto(int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i);
  return v;
}

TEST(RowPipeline, EveryRowIsPreparedOnceAndCommittedInOrder) {
  for (int rows : {0, 1, 6, 7, 8, 9, 15, 16, 17, 100, 1003}) {
    PipelineRun run;
    run.rows = rows;
    run.Go(8);
    EXPECT_EQ(run.committed, Upto(rows)) << rows << " rows";
    EXPECT_TRUE(run.fill_and_commit_on_caller) << rows << " rows";
  }
}

TEST(RowPipeline, OnlyRunsLongerThanABatchPrepareOnTheHelperThread) {
  PipelineRun short_run;
  short_run.rows = 7;
  short_run.Go(8);
  for (auto id : short_run.prepared_on) EXPECT_EQ(id, std::this_thread::get_id());

  PipelineRun long_run;
  long_run.rows = 40;
  long_run.Go(8);
  ASSERT_EQ(long_run.prepared_on.size(), 40u);
  for (auto id : long_run.prepared_on) EXPECT_NE(id, std::this_thread::get_id());
}

TEST(RowPipeline, AFailureInAnyStageEndsTheRunWithoutLaterCommits) {
  for (int at : {0, 3, 7, 8, 9, 20, 39}) {
    for (int stage = 0; stage < 3; ++stage) {
      PipelineRun run;
      run.rows = 40;
      (stage == 0 ? run.fail_fill_at : stage == 1 ? run.fail_prepare_at : run.fail_commit_at) = at;
      EXPECT_THROW(run.Go(8), std::runtime_error) << "stage " << stage << " at " << at;
      // Committed rows are a prefix that stops before the failing row.
      const int done = int(run.committed.size());
      EXPECT_EQ(run.committed, Upto(done));
      EXPECT_LE(done, at);
      // Commits run in order, so one that fails has every row before it
      // committed.
      if (stage == 2) {
        EXPECT_EQ(done, at);
      }
    }
  }
}

}  // namespace
}  // namespace act::db::exec
