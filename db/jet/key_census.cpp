#include "db/jet/key_census.h"

#include <algorithm>
#include <cstring>

namespace act::db::jet {

namespace {

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

// Stable LSD radix sort, sixteen bits a pass; passes over a digit all the
// values share are skipped.
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
  static constexpr size_t kBlock = 8192;
  SpillFile& spill_;
  uint64_t offset_;
  uint64_t left_;
  std::vector<uint64_t> block_;
  size_t at_ = 0;
};

}  // namespace

uint64_t KeyHash(std::span<const uint8_t> key) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
  size_t i = 0;
  for (; i + 8 <= key.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, key.data() + i, 8);
    h = (h ^ w) * 0x100000001B3ULL;
    h ^= h >> 29;
  }
  if (i < key.size()) {
    uint64_t w = 0;
    std::memcpy(&w, key.data() + i, key.size() - i);
    h = (h ^ w) * 0x100000001B3ULL;
  }
  return Mix(h);
}

KeyCensus::KeyCensus(size_t indexes, SpillFile& spill, size_t held)
    : spill_(spill), held_(held), hashes_(indexes), runs_(indexes) {}

void KeyCensus::AddHash(size_t index, uint64_t hash) {
  hashes_[index].push_back(hash);
  if (++count_ >= held_) Spill();
}

void KeyCensus::Spill() {
  for (size_t i = 0; i < hashes_.size(); ++i) {
    std::vector<uint64_t>& values = hashes_[i];
    if (values.empty()) continue;
    SortHashes(values);
    const uint64_t at = spill_.Append(
        std::span(reinterpret_cast<const uint8_t*>(values.data()), values.size() * 8));
    runs_[i].push_back(Run{at, values.size()});
    values.clear();
    values.shrink_to_fit();
  }
  count_ = 0;
}

std::optional<std::vector<std::vector<uint64_t>>> KeyCensus::Repeated(size_t most) {
  std::vector<std::vector<uint64_t>> repeated(hashes_.size());
  size_t total = 0;
  for (size_t i = 0; i < hashes_.size(); ++i) {
    std::vector<uint64_t>& held = hashes_[i];
    SortHashes(held);
    std::vector<RunReader> readers;
    for (const Run& run : runs_[i]) readers.emplace_back(spill_, run.offset, run.count);
    size_t next_held = 0;
    // The smallest value left among the runs and the held hashes, taken
    // one at a time; a value equal to the one before is a repeat.
    bool have_previous = false;
    uint64_t previous = 0;
    for (;;) {
      RunReader* from = nullptr;
      uint64_t least = 0;
      bool any = false;
      if (next_held < held.size()) {
        least = held[next_held];
        any = true;
      }
      for (RunReader& r : readers) {
        if (r.valid() && (!any || r.value() < least)) {
          least = r.value();
          from = &r;
          any = true;
        }
      }
      if (!any) break;
      if (from) {
        from->Advance();
      } else {
        ++next_held;
      }
      if (have_previous && least == previous) {
        if (repeated[i].empty() || repeated[i].back() != least) {
          repeated[i].push_back(least);
          if (++total > most) return std::nullopt;
        }
      }
      previous = least;
      have_previous = true;
    }
    held.clear();
    held.shrink_to_fit();
  }
  return repeated;
}

}  // namespace act::db::jet
