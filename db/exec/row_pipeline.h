// Rows through three stages, the middle one on a second thread:
//
//   fill(row)    reads the next row (false: there is none);
//   prepare(row) works out what can be worked out from the row alone;
//   commit(row)  writes it.
//
// fill and commit run on the calling thread, in the order the rows come, so
// every file operation happens in the same order on every run; prepare runs
// on a helper thread, one batch ahead of commit, and must touch nothing the
// other two touch but the row it is given. An append of many rows spends
// about half its time on work that depends on the row alone (converting
// values, encoding index keys and the row), which a second core then does
// while the first changes the indexes.
//
// A statement shorter than one batch runs on the calling thread alone, as
// does one on a machine that cannot start a thread.
// If fill or commit throws, the helper is stopped and joined before the
// exception leaves; an exception from prepare is rethrown from the calling
// thread when its batch is waited for.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace act::db::exec {

template <class Row, class Prepare>
class PrepareThread {
 public:
  explicit PrepareThread(Prepare& prepare) : prepare_(prepare), thread_([this] { Loop(); }) {}
  ~PrepareThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  PrepareThread(const PrepareThread&) = delete;
  PrepareThread& operator=(const PrepareThread&) = delete;

  // Hands over rows[0, n); the caller leaves them alone until Wait().
  void Start(Row* rows, size_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      rows_ = rows;
      count_ = n;
      busy_ = true;
    }
    wake_.notify_all();
  }

  // Until the rows handed over are prepared.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || busy_; });
      if (stop_) return;  // the caller is leaving; its rows are no longer wanted
      Row* rows = rows_;
      const size_t n = count_;
      lock.unlock();
      std::exception_ptr error;
      try {
        for (size_t i = 0; i < n; ++i) prepare_(rows[i]);
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      error_ = error;
      busy_ = false;
      done_.notify_all();
    }
  }

  Prepare& prepare_;
  std::mutex mutex_;
  std::condition_variable wake_;  // work or stop for the helper
  std::condition_variable done_;  // the helper's batch is finished
  Row* rows_ = nullptr;
  size_t count_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last: it starts running in the constructor
};

template <class Row, class Fill, class Prepare, class Commit>
void RunPipelined(size_t batch_rows, Fill&& fill, Prepare&& prepare, Commit&& commit) {
  // Two batches: the helper prepares one while this thread commits the
  // other and then fills it again. Rows keep their buffers from batch to
  // batch.
  std::vector<Row> batches[2] = {std::vector<Row>(batch_rows), std::vector<Row>(batch_rows)};
  auto fill_batch = [&](std::vector<Row>& batch) {
    size_t n = 0;
    while (n < batch.size() && fill(batch[n])) ++n;
    return n;
  };
  auto alone = [&](std::vector<Row>& batch, size_t filled) {
    do {
      for (size_t i = 0; i < filled; ++i) {
        prepare(batch[i]);
        commit(batch[i]);
      }
    } while (filled == batch_rows && (filled = fill_batch(batch)) > 0);
  };
  size_t filled = fill_batch(batches[0]);
  if (filled < batch_rows) return alone(batches[0], filled);
  // A machine that cannot start a thread (out of resources) runs the
  // statement on this one.
  std::optional<PrepareThread<Row, std::remove_reference_t<Prepare>>> helper;
  try {
    helper.emplace(prepare);
  } catch (const std::system_error&) {
    return alone(batches[0], filled);
  }
  helper->Start(batches[0].data(), filled);
  for (int current = 0;; current ^= 1) {
    std::vector<Row>& next = batches[current ^ 1];
    const size_t next_filled = fill_batch(next);
    helper->Wait();
    if (next_filled > 0) helper->Start(next.data(), next_filled);
    for (size_t i = 0; i < filled; ++i) commit(batches[current][i]);
    if (next_filled == 0) return;
    filled = next_filled;
  }
}

}  // namespace act::db::exec
