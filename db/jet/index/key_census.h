// Which keys of a unique index may meet one another while many rows are
// appended at once. Before the rows are written, every key the rows bring
// and every key the index holds is counted by a hash; a key whose hash
// comes once can meet no other, so only keys whose hash repeats need
// looking up as the rows are written, one at a time and in order, and the
// index keeps no more than those in memory. A hash repeated by chance only
// costs a lookup that finds nothing.
//
// The hashes are spread over buckets by their top bits. Past the memory
// the census may hold, each bucket's hashes go to the statement's scratch
// file; at the end the buckets are read back one at a time, each small
// enough to look for repeats in memory, whatever the number of rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "db/jet/file/spill_file.h"

namespace act::db::jet {

// 58 bits of hash; the low six are zero (the census keeps the index there).
uint64_t KeyHash(std::span<const uint8_t> key);

class KeyCensus {
 public:
  // `indexes` (at most 64) counted apart; `held` hashes kept in memory at most.
  KeyCensus(size_t indexes, SpillFile& spill, size_t held);

  // A key a row brings, in the rows' order, and its KeyHash.
  void Add(size_t index, std::span<const uint8_t> key, uint64_t hash);
  void Add(size_t index, std::span<const uint8_t> key) { Add(index, key, KeyHash(key)); }
  // A key the index holds, in index order.
  void AddHeld(size_t index, std::span<const uint8_t> key);

  // The KeyHash values that came more than once, sorted, for each index;
  // nullopt when there are more than `most` in all (so many repeats that
  // the rows are better checked against the trees themselves).
  std::optional<std::vector<std::vector<uint64_t>>> Repeated(size_t most);

 private:
  static constexpr int kBucketBits = 8;
  struct Bucket {
    std::vector<uint64_t> held;
    std::vector<std::pair<uint64_t, uint64_t>> written;  // offset, count
  };
  // Keys that come in index order (a counter copied over, titles stored in
  // order) meet no other key of the rows: such an index has nothing to look
  // for in the buckets when its keys all lie above the ones it holds.
  struct Order {
    bool ascending = true;
    std::vector<uint8_t> first, last;  // of the rows' keys
    std::vector<uint8_t> held_last;    // the largest key the index holds
    bool any = false, any_held = false;
  };
  void AddHash(size_t index, uint64_t hash);
  void Spill();
  bool MeetsNothing(size_t index) const;

  SpillFile& spill_;
  size_t held_;
  size_t count_ = 0;
  std::vector<Bucket> buckets_;
  std::vector<Order> order_;  // by index
};

}  // namespace act::db::jet
