// The new entries of one index while many rows are appended at once: held
// in memory, sorted, written to the statement's scratch file as a sorted
// run whenever the memory they may hold is full, and read back at the end
// merged into one stream in index order. A tree then takes them a leaf at
// a time (each leaf read and written once), however the keys came.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <span>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/index/index_page.h"
#include "db/jet/file/spill_file.h"

namespace act::db::jet {

// The memory the entries of all indexes share: blocks of a fixed size,
// taken and given back as runs fill and go out, up to a bound. Blocks are
// kept once made, so memory is neither given back to the system nor
// touched anew from run to run.
class BlockPool {
 public:
  static constexpr int kBits = 17;
  static constexpr size_t kSize = size_t(1) << kBits;  // 128 KiB, more than any record
  explicit BlockPool(size_t bytes) : most_(std::max<size_t>(bytes >> kBits, 2)) {}
  // nullptr when every block is out.
  uint8_t* Take();
  void Give(uint8_t* block);
  // Blocks that may still be taken.
  size_t left() const { return most_ - owned_.size() + free_.size(); }
  size_t most() const { return most_; }

 private:
  size_t most_;
  std::vector<std::unique_ptr<uint8_t[]>> owned_;
  std::vector<uint8_t*> free_;
};

class EntryRuns {
 public:
  struct Ref;
  // The entries' records live in blocks from `pool`. The sort's working
  // memory (`sort_refs`, `sort_space`) is shared by the runs of several
  // indexes, which sort one at a time.
  // A run holds `most_held` entries at most: its sort takes 32 bytes of
  // working memory for each.
  EntryRuns(SpillFile& spill, BlockPool& pool, std::vector<Ref>& sort_refs,
            std::vector<Ref>& sort_space, size_t most_held);
  ~EntryRuns();
  EntryRuns(EntryRuns&&);

  // False when the pool has no room left for the entry: some runs must be
  // written out first.
  bool Add(std::span<const uint8_t> key, RowPointer row);
  // Whether the run holds all the entries it may: it must be written out
  // before the next is added.
  bool full() const { return held_.count >= most_held_; }
  // Entries added so far, and the blocks those not yet written out hold.
  uint64_t size() const { return added_; }
  size_t held_blocks() const { return held_.blocks.size(); }
  // Sorts the entries held, writes them out as one run and gives their
  // blocks back.
  void Spill();
  // The same in two steps: the entries held are sorted and made ready to
  // be written on another thread (Add goes on meanwhile, into other
  // blocks), and written out, their blocks given back, at FinishAhead,
  // which waits for them. One run is sorted at a time: the sort's memory
  // is shared.
  void SpillAhead();
  bool spilling_ahead() const { return ahead_ != nullptr; }
  void FinishAhead();

  // Every entry added, in index order (key, then row), one at a time.
  class Merged {
   public:
    virtual ~Merged() = default;
    // False past the last entry.
    virtual bool Next(IndexEntry& out) = 0;
  };
  // Sorts what is held and merges it with the runs written out, reading
  // each of those `buffer_bytes` at a time, or whole at once (the merge
  // then reads no file). Add may not be called after.
  std::unique_ptr<Merged> Merge(size_t buffer_bytes, bool read_whole = false);
  size_t runs() const { return runs_.size(); }
  uint64_t spilled_bytes() const;

  // Where one entry's record starts, with what the sort compares first
  // (eight key bytes from some depth, big-endian).
  struct Ref {
    uint64_t head = 0;
    uint32_t at = 0;
    uint16_t key_size = 0;
  };

 private:
  struct Run {
    uint64_t offset = 0;
    uint64_t bytes = 0;
  };
  // Entries held: records, one after another in each block: the key's
  // size (2 bytes), the key, the row (page << 8 | row, 4 bytes), all
  // little-endian.
  struct Held {
    std::vector<uint8_t*> blocks;
    std::vector<uint32_t> ends;  // bytes used in each full block
    size_t used = 0;             // bytes used in the last block
    uint64_t count = 0;
  };
  // Puts references to the records of `held` into sort_refs_, in index
  // order.
  void Sort(const Held& held);
  // The run of `held`, sorted, as it is written out (see SpilledSource).
  void Encode(const Held& held, std::vector<uint8_t>& run) const;
  void Write(std::span<const uint8_t> run);
  void Release(Held& held);

  SpillFile& spill_;
  BlockPool& pool_;
  std::vector<Ref>& sort_refs_;
  std::vector<Ref>& sort_space_;
  size_t most_held_;
  Held held_;
  struct Ahead;
  std::unique_ptr<Ahead> ahead_;
  std::vector<Run> runs_;
  uint64_t added_ = 0;
};

// A merge that reads no file, run on a thread of its own a batch of entries
// ahead of the thread that takes them (which fills and writes the tree's
// pages meanwhile). Every file operation stays with the taker.
class MergeAhead {
 public:
  // Batches of `batch` entries. `on_thread` false (a merge that reads the
  // scratch file) merges each batch when it is asked for, on the caller's
  // thread.
  MergeAhead(std::unique_ptr<EntryRuns::Merged> merged, size_t batch, bool on_thread);
  ~MergeAhead();
  MergeAhead(const MergeAhead&) = delete;
  MergeAhead& operator=(const MergeAhead&) = delete;

  // The next entries in index order; false past the last. A failure of
  // the merge is thrown here.
  bool Next(std::vector<IndexEntry>& batch);

 private:
  void Fill(std::vector<IndexEntry>& batch);
  void Produce();

  std::unique_ptr<EntryRuns::Merged> merged_;
  size_t batch_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<IndexEntry> ready_batch_;
  bool ready_ = false;
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last: it starts in the constructor
};

}  // namespace act::db::jet
