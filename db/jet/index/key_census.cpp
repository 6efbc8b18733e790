#include "db/jet/index/key_census.h"

#include <algorithm>
#include <cstring>

#include "db/jet/index/index_key.h"

namespace act::db::jet {

namespace {

constexpr uint64_t kIndexBits = 63;

std::span<const uint8_t> Bytes(const std::vector<uint64_t>& values) {
  return {reinterpret_cast<const uint8_t*>(values.data()), values.size() * 8};
}

// Calls `repeat` once for each value that `values` holds more than once, by
// an open-addressing table twice its size.
template <typename Repeat>
void ForEachRepeat(const std::vector<uint64_t>& values, Repeat&& repeat) {
  size_t size = 16;
  while (size < 2 * values.size()) size *= 2;
  // 0 marks an empty place; a value of 0 is moved to 1 and back.
  std::vector<uint64_t> table(size, 0);
  std::vector<uint8_t> seen_twice(size, 0);
  for (uint64_t v : values) {
    const uint64_t key = v == 0 ? 1 : v;
    size_t at = size_t((key >> 6) * 0x9E3779B97F4A7C15ULL >> 20) & (size - 1);
    while (table[at] != 0 && table[at] != key) at = (at + 1) & (size - 1);
    if (table[at] == 0) {
      table[at] = key;
    } else if (!seen_twice[at]) {
      seen_twice[at] = 1;
      repeat(v);
    }
  }
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
  return h & ~kIndexBits;
}

KeyCensus::KeyCensus(size_t indexes, SpillFile& spill, size_t held)
    : spill_(spill), held_(held), buckets_(size_t(1) << kBucketBits), order_(indexes) {
  // Hashes spread evenly: each bucket takes its share and a margin without
  // growing (and copying) as it fills.
  for (Bucket& b : buckets_) b.held.reserve((held >> kBucketBits) + (held >> (kBucketBits + 3)) + 16);
}

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
  buckets_[hash >> (64 - kBucketBits)].held.push_back(hash | index);
  if (++count_ >= held_) Spill();
}

void KeyCensus::Spill() {
  for (Bucket& b : buckets_) {
    if (b.held.empty()) continue;
    b.written.emplace_back(spill_.Append(Bytes(b.held)), b.held.size());
    b.held.clear();  // keeps its room for the next
  }
  count_ = 0;
}

bool KeyCensus::MeetsNothing(size_t index) const {
  // Rows' keys in strictly ascending order, all above what the index holds.
  const Order& o = order_[index];
  return o.ascending && (!o.any || !o.any_held || CompareKeys(o.held_last, o.first) < 0);
}

std::optional<std::vector<std::vector<uint64_t>>> KeyCensus::Repeated(size_t most) {
  std::vector<bool> skipped(order_.size());
  for (size_t i = 0; i < order_.size(); ++i) skipped[i] = MeetsNothing(i);
  std::vector<std::vector<uint64_t>> repeated(order_.size());
  size_t total = 0;
  std::vector<uint64_t> values;
  for (Bucket& b : buckets_) {
    values.clear();
    for (const auto& [offset, count] : b.written) {
      const size_t at = values.size();
      values.resize(at + count);
      spill_.Read(offset, values.data() + at, count * 8);
    }
    values.insert(values.end(), b.held.begin(), b.held.end());
    b = Bucket{};
    bool too_many = false;
    ForEachRepeat(values, [&](uint64_t v) {
      const size_t index = size_t(v & kIndexBits);
      if (skipped[index]) return;
      repeated[index].push_back(v & ~kIndexBits);
      too_many |= ++total > most;
    });
    if (too_many) return std::nullopt;
  }
  for (auto& r : repeated) std::sort(r.begin(), r.end());
  return repeated;
}

}  // namespace act::db::jet
