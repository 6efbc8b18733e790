// The new entries of one index while many rows are appended at once: held
// in memory, sorted, written to the statement's scratch file as a sorted
// run whenever the memory they may hold is full, and read back at the end
// merged into one stream in index order. A tree then takes them a leaf at
// a time (each leaf read and written once), however the keys came.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "db/jet/data_page.h"
#include "db/jet/index_page.h"
#include "db/jet/spill_file.h"

namespace act::db::jet {

class EntryRuns {
 public:
  explicit EntryRuns(SpillFile& spill) : spill_(spill) {}

  void Add(std::span<const uint8_t> key, RowPointer row);
  // Entries added so far, and the memory those not yet written out hold.
  uint64_t size() const { return added_; }
  size_t held_bytes() const;
  // Sorts the entries held and writes them out as one run.
  void Spill();

  // Every entry added, in index order (key, then row), one at a time.
  class Merged {
   public:
    virtual ~Merged() = default;
    // False past the last entry.
    virtual bool Next(IndexEntry& out) = 0;
  };
  // Sorts what is held and merges it with the runs written out, reading
  // each of those `buffer_bytes` at a time. Add may not be called after.
  std::unique_ptr<Merged> Merge(size_t buffer_bytes);
  size_t runs() const { return runs_.size(); }

  // Where one entry's record starts in the arena, with what the sort
  // compares first (eight key bytes from some depth, big-endian).
  struct Ref {
    uint64_t chunk = 0;
    uint32_t at = 0;
    uint16_t key_size = 0;
  };

 private:
  struct Run {
    uint64_t offset = 0;
    uint64_t bytes = 0;
  };
  void Sort();

  SpillFile& spill_;
  // Records: the key's size (2 bytes), the key, the row (page << 8 | row,
  // 4 bytes), all little-endian.
  std::vector<uint8_t> arena_;
  std::vector<Ref> refs_;
  std::vector<Ref> sort_space_;  // the sort's, kept from run to run
  std::vector<Run> runs_;
  uint64_t added_ = 0;
};

}  // namespace act::db::jet
