#include "db/jet/key_census.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <queue>

#include "db/jet/index_key.h"

namespace act::db::jet {

namespace {

// Stable LSD radix sort, sixteen bits a pass; a pass over a digit all the
// values share is skipped.
void SortHashes(std::vector<uint64_t>& values) {
  const size_t n = values.size();
  if (n < 256) {
    std::sort(values.begin(), values.end());
    return;
  }
  std::vector<uint64_t> tmp(n);
  std::vector<uint32_t> counts(4 << 16, 0);
  for (uint64_t v : values) {
    for (int p = 0; p < 4; ++p) ++counts[(size_t(p) << 16) + ((v >> (16 * p)) & 0xFFFF)];
  }
  uint64_t* from = values.data();
  uint64_t* to = tmp.data();
  for (int p = 0; p < 4; ++p) {
    uint32_t* count = &counts[size_t(p) << 16];
    if (count[(from[0] >> (16 * p)) & 0xFFFF] == n) continue;
    uint32_t sum = 0;
    for (size_t b = 0; b < (1 << 16); ++b) {
      const uint32_t c = count[b];
      count[b] = sum;
      sum += c;
    }
    for (size_t i = 0; i < n; ++i) to[count[(from[i] >> (16 * p)) & 0xFFFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != values.data()) std::copy(from, from + n, values.data());
}

// One sorted run read back a block at a time.
class RunReader {
 public:
  RunReader(SpillFile& spill, uint64_t offset, uint64_t count)
      : spill_(spill), offset_(offset), left_(count) {
    Refill();
  }
  bool valid() const { return at_ < block_.size(); }
  uint64_t value() const { return block_[at_]; }
  void Advance() {
    if (++at_ == block_.size()) Refill();
  }

 private:
  void Refill() {
    const size_t n = size_t(std::min<uint64_t>(left_, kBlock));
    block_.resize(n);
    at_ = 0;
    if (n == 0) return;
    spill_.Read(offset_, block_.data(), n * 8);
    offset_ += n * 8;
    left_ -= n;
  }
  static constexpr size_t kBlock = 16384;
  SpillFile& spill_;
  uint64_t offset_;
  uint64_t left_;
  std::vector<uint64_t> block_;
  size_t at_ = 0;
};

std::span<const uint8_t> Bytes(const std::vector<uint64_t>& values) {
  return {reinterpret_cast<const uint8_t*>(values.data()), values.size() * 8};
}

}  // namespace

uint64_t KeyHash(std::span<const uint8_t> key) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
  size_t i = 0;
  for (; i + 8 <= key.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, key.data() + i, 8);
    h = (h ^ w) * 0xff51afd7ed558ccdULL;
    h ^= h >> 29;
  }
  if (i < key.size()) {
    uint64_t w = 0;
    std::memcpy(&w, key.data() + i, key.size() - i);
    h = (h ^ w) * 0xff51afd7ed558ccdULL;
  }
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 29;
  return h;
}

KeyCensus::KeyCensus(size_t indexes, SpillFile& spill, size_t held)
    : spill_(spill), held_(held), hashes_(indexes), runs_(indexes), order_(indexes) {}

void KeyCensus::Add(size_t index, std::span<const uint8_t> key, uint64_t hash) {
  Order& o = order_[index];
  if (o.ascending) {
    if (o.any && CompareKeys(key, o.last) <= 0) {
      o.ascending = false;
    } else {
      if (!o.any) o.first.assign(key.begin(), key.end());
      o.last.assign(key.begin(), key.end());
      o.any = true;
    }
  }
  AddHash(index, hash);
}

void KeyCensus::AddHeld(size_t index, std::span<const uint8_t> key) {
  Order& o = order_[index];
  o.held_last.assign(key.begin(), key.end());
  o.any_held = true;
  AddHash(index, KeyHash(key));
}

void KeyCensus::AddHash(size_t index, uint64_t hash) {
  hashes_[index].push_back(hash);
  if (++count_ >= held_) Spill();
}

bool KeyCensus::MeetsNothing(size_t index) const {
  // Rows' keys in strictly ascending order, all above what the index holds.
  const Order& o = order_[index];
  return o.ascending && (!o.any || !o.any_held || CompareKeys(o.held_last, o.first) < 0);
}

void KeyCensus::Spill() {
  for (size_t i = 0; i < hashes_.size(); ++i) {
    std::vector<uint64_t>& values = hashes_[i];
    if (values.empty()) continue;
    const bool sort = !order_[i].ascending;
    if (sort) SortHashes(values);
    const uint64_t at = spill_.Append(Bytes(values));
    runs_[i].push_back(Run{at, values.size(), sort});
    values.clear();
  }
  count_ = 0;
}

std::optional<std::vector<std::vector<uint64_t>>> KeyCensus::Repeated(size_t most) {
  std::vector<std::vector<uint64_t>> repeated(hashes_.size());
  size_t total = 0;
  for (size_t i = 0; i < hashes_.size(); ++i) {
    std::vector<uint64_t>& held = hashes_[i];
    if (MeetsNothing(i)) {
      held = {};
      continue;
    }
    // Runs written while the keys still came in order are sorted now.
    for (Run& run : runs_[i]) {
      if (run.sorted) continue;
      std::vector<uint64_t> values(run.count);
      spill_.Read(run.offset, values.data(), run.count * 8);
      SortHashes(values);
      run.offset = spill_.Append(Bytes(values));
      run.sorted = true;
    }
    SortHashes(held);
    std::vector<RunReader> readers;
    for (const Run& run : runs_[i]) readers.emplace_back(spill_, run.offset, run.count);
    // The runs and the held hashes merged, smallest first; a value equal
    // to the one before it is a repeat.
    using Head = std::pair<uint64_t, size_t>;  // value, reader (readers.size(): the held ones)
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    size_t next_held = 0;
    if (!held.empty()) heads.push({held[next_held++], readers.size()});
    for (size_t r = 0; r < readers.size(); ++r) {
      if (readers[r].valid()) heads.push({readers[r].value(), r});
    }
    bool have_previous = false;
    uint64_t previous = 0;
    while (!heads.empty()) {
      const auto [value, from] = heads.top();
      heads.pop();
      if (from == readers.size()) {
        if (next_held < held.size()) heads.push({held[next_held++], from});
      } else {
        readers[from].Advance();
        if (readers[from].valid()) heads.push({readers[from].value(), from});
      }
      if (have_previous && value == previous &&
          (repeated[i].empty() || repeated[i].back() != value)) {
        repeated[i].push_back(value);
        if (++total > most) return std::nullopt;
      }
      previous = value;
      have_previous = true;
    }
    held = {};
  }
  return repeated;
}

}  // namespace act::db::jet
