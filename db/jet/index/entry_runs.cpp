#include "db/jet/index/entry_runs.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

#include "db/jet/index/index_key.h"
#include "platform/error.h"

namespace act::db::jet {

namespace {

using Ref = EntryRuns::Ref;
using Blocks = std::vector<uint8_t*>;

// A record's fields (see EntryRuns::blocks_); `at` counts bytes across the
// blocks as if they followed one another.
const uint8_t* KeyOf(const Blocks& blocks, const Ref& r) {
  return blocks[r.at >> BlockPool::kBits] + (r.at & (BlockPool::kSize - 1)) + 2;
}
uint32_t RowOf(const Blocks& blocks, const Ref& r) {
  uint32_t row;
  std::memcpy(&row, KeyOf(blocks, r) + r.key_size, 4);
  return row;
}
uint32_t PackRow(RowPointer row) { return (row.page << 8) | row.row; }
RowPointer UnpackRow(uint32_t packed) { return {packed >> 8, uint8_t(packed)}; }

// Eight key bytes from `from`, zero beyond the key's end, as a number that
// orders like the bytes.
uint64_t HeadAt(const uint8_t* key, size_t size, size_t from) {
  uint64_t v = 0;
  if (from + 8 <= size) {
    std::memcpy(&v, key + from, 8);
  } else if (from < size) {
    std::memcpy(&v, key + from, size - from);
  }
  return __builtin_bswap64(v);
}

// Sorts entries by key (CompareKeys), then row. Keys are compared eight
// bytes at a time, most significant first: all entries by their first
// eight bytes (a radix sort, stable), then each group that shares them by
// the next eight, and so on; a small group is sorted by whole comparisons.
// Keys of an index share long prefixes (the words titles start with), which
// a comparison sort would compare again and again.
class EntrySorter {
 public:
  EntrySorter(const Blocks& arena, std::vector<Ref>& refs, std::vector<Ref>& tmp)
      : arena_(arena), refs_(refs), tmp_(tmp) {
    tmp_.resize(refs.size());
  }

  void Sort() { SortRange(refs_.data(), refs_.size(), 0); }

 private:
  static constexpr size_t kSmall = 24;

  bool Less(const Ref& a, const Ref& b) const {
    const int c = CompareKeys({KeyOf(arena_, a), a.key_size}, {KeyOf(arena_, b), b.key_size});
    if (c != 0) return c < 0;
    return RowOf(arena_, a) < RowOf(arena_, b);
  }

  void SortRange(Ref* a, size_t n, size_t depth) {
    if (n < 2) return;
    if (n <= kSmall) {
      std::sort(a, a + n, [this](const Ref& x, const Ref& y) { return Less(x, y); });
      return;
    }
    const size_t from = depth * 8;
    for (size_t i = 0; i < n; ++i) a[i].head = HeadAt(KeyOf(arena_, a[i]), a[i].key_size, from);
    ByHead(a, n);
    for (size_t begin = 0; begin < n;) {
      size_t end = begin + 1;
      bool longer = a[begin].key_size > from + 8;
      while (end < n && a[end].head == a[begin].head) longer |= a[end++].key_size > from + 8;
      if (end - begin > 1) {
        if (longer) {
          SortRange(a + begin, end - begin, depth + 1);
        } else {
          // Every key ends within these eight bytes, equal but for zeros
          // past the shorter ones' end: shorter keys first, then rows.
          auto by_size_and_row = [this](const Ref& x, const Ref& y) {
            if (x.key_size != y.key_size) return x.key_size < y.key_size;
            return RowOf(arena_, x) < RowOf(arena_, y);
          };
          if (!std::is_sorted(a + begin, a + end, by_size_and_row)) {
            std::sort(a + begin, a + end, by_size_and_row);
          }
        }
      }
      begin = end;
    }
  }

  // Stable LSD radix sort by head; digits every entry shares are skipped.
  void ByHead(Ref* a, size_t n) {
    const int bits = n >= (size_t(1) << 16) ? 16 : 8;
    const int passes = 64 / bits;
    const size_t buckets = size_t(1) << bits;
    const uint64_t mask = buckets - 1;
    counts_.assign(size_t(passes) * buckets, 0);
    for (size_t i = 0; i < n; ++i) {
      for (int p = 0; p < passes; ++p) ++counts_[size_t(p) * buckets + ((a[i].head >> (p * bits)) & mask)];
    }
    Ref* from = a;
    Ref* to = tmp_.data();
    for (int p = 0; p < passes; ++p) {
      uint32_t* count = &counts_[size_t(p) * buckets];
      if (count[(from[0].head >> (p * bits)) & mask] == n) continue;
      uint32_t sum = 0;
      for (size_t b = 0; b < buckets; ++b) {
        const uint32_t c = count[b];
        count[b] = sum;
        sum += c;
      }
      for (size_t i = 0; i < n; ++i) to[count[(from[i].head >> (p * bits)) & mask]++] = from[i];
      std::swap(from, to);
    }
    if (from != a) std::copy(from, from + n, a);
  }

  const Blocks& arena_;
  std::vector<Ref>& refs_;
  std::vector<Ref>& tmp_;
  std::vector<uint32_t> counts_;
};

// A run written out: each record is the count of key bytes it shares with
// the record before (one byte), the count of the rest (a varint), the rest,
// and the row (4 bytes, little-endian).

class Source {
 public:
  virtual ~Source() = default;
  bool valid() const { return valid_; }
  std::span<const uint8_t> key() const { return {key_data_, key_size_}; }
  uint32_t row() const { return row_; }
  // The key's first eight bytes as a number: most comparisons end there.
  uint64_t head() const { return head_; }
  virtual void Advance() = 0;

 protected:
  void SetHead() { head_ = HeadAt(key_data_, key_size_, 0); }
  bool valid_ = false;
  uint64_t head_ = 0;
  const uint8_t* key_data_ = nullptr;
  size_t key_size_ = 0;
  uint32_t row_ = 0;
};

class MemorySource : public Source {
 public:
  MemorySource(Blocks arena, std::vector<Ref> refs, BlockPool& pool)
      : arena_(std::move(arena)), refs_(std::move(refs)), pool_(pool) {
    Advance();
  }
  ~MemorySource() override {
    for (uint8_t* block : arena_) pool_.Give(block);
  }
  void Advance() override {
    valid_ = next_ < refs_.size();
    if (!valid_) return;
    const Ref& r = refs_[next_++];
    key_data_ = KeyOf(arena_, r);
    key_size_ = r.key_size;
    row_ = RowOf(arena_, r);
    SetHead();
  }

 private:
  Blocks arena_;
  std::vector<Ref> refs_;
  BlockPool& pool_;
  size_t next_ = 0;
};

class SpilledSource : public Source {
 public:
  SpilledSource(SpillFile& spill, uint64_t offset, uint64_t bytes, size_t buffer)
      : spill_(&spill), offset_(offset), left_(bytes), buffer_(std::max<size_t>(buffer, 4096)) {
    Advance();
  }
  // A run read whole beforehand: it reads no file.
  explicit SpilledSource(std::vector<uint8_t> whole)
      : spill_(nullptr), offset_(0), left_(0), buffer_(std::move(whole)), end_(buffer_.size()) {
    Advance();
  }
  void Advance() override {
    // Most records lie whole in the buffer; one that does not is read in.
    if (end_ - at_ < kLongestRecord && RecordSize() > end_ - at_) {
      Refill();
      valid_ = at_ < end_;
      if (!valid_) return;
      if (RecordSize() > end_ - at_) {
        throw Error(kErrDeviceIO, "scratch file: a sorted run ends inside an entry");
      }
    }
    valid_ = true;
    const uint8_t* p = buffer_.data() + at_;
    const size_t shared = *p++;
    size_t rest = 0;
    for (int shift = 0;; shift += 7) {
      rest |= size_t(*p & 0x7F) << shift;
      if (!(*p++ & 0x80)) break;
    }
    key_size_ = shared + rest;
    if (key_.size() < key_size_) key_.resize(key_size_);
    std::memcpy(key_.data() + shared, p, rest);
    key_data_ = key_.data();
    p += rest;
    std::memcpy(&row_, p, 4);
    at_ = size_t(p + 4 - buffer_.data());
    SetHead();
  }

 private:
  static constexpr size_t kLongestRecord = 1 + 3 + 65535 + 4;
  size_t RecordSize() const {
    if (at_ >= end_) return 1;
    const uint8_t* p = buffer_.data() + at_ + 1;
    size_t rest = 0;
    for (int shift = 0; p < buffer_.data() + end_; shift += 7) {
      rest |= size_t(*p & 0x7F) << shift;
      if (!(*p++ & 0x80)) return size_t(p - (buffer_.data() + at_)) + rest + 4;
    }
    return SIZE_MAX;  // its length is not all in: refill
  }
  void Refill() {
    std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
    end_ -= at_;
    at_ = 0;
    if (buffer_.size() < 2 * kLongestRecord) buffer_.resize(2 * kLongestRecord);
    const size_t n = size_t(std::min<uint64_t>(left_, buffer_.size() - end_));
    if (n == 0) return;
    spill_->Read(offset_, buffer_.data() + end_, n);
    offset_ += n;
    left_ -= n;
    end_ += n;
  }

  SpillFile* spill_;
  uint64_t offset_;
  uint64_t left_;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> key_;  // the record's key; the next shares its front
  size_t at_ = 0, end_ = 0;
};

// Whether a's entry comes before b's; a source that is done comes last.
bool Before(const Source& a, const Source& b) {
  if (!a.valid()) return false;
  if (!b.valid()) return true;
  if (a.head() != b.head()) return a.head() < b.head();
  // The first eight bytes are equal (zeros past a short key's end).
  const auto x = a.key(), y = b.key();
  const int c = x.size() <= 8 || y.size() <= 8 ? CompareKeys(x, y)
                                                : CompareKeys(x.subspan(8), y.subspan(8));
  if (c != 0) return c < 0;
  return a.row() < b.row();
}

// A tournament over the sources (a loser tree): each node keeps the source
// that lost the match played there, so the next entry costs one match per
// level on the way up from the source that gave the last.
class Merger : public EntryRuns::Merged {
 public:
  explicit Merger(std::vector<std::unique_ptr<Source>> sources)
      : sources_(std::move(sources)), k_(sources_.size()), loser_(k_, 0) {
    std::vector<size_t> winner(2 * k_);
    for (size_t i = 0; i < k_; ++i) winner[k_ + i] = i;
    for (size_t n = k_; n-- > 1;) {
      const size_t a = winner[2 * n], b = winner[2 * n + 1];
      const bool b_first = Before(*sources_[b], *sources_[a]);
      winner[n] = b_first ? b : a;
      loser_[n] = b_first ? a : b;
    }
    winner_ = k_ == 1 ? 0 : winner[1];
  }
  bool Next(IndexEntry& out) override {
    Source& s = *sources_[winner_];
    if (!s.valid()) return false;
    const auto key = s.key();
    out.key.assign(key.begin(), key.end());
    out.row = UnpackRow(s.row());
    out.child = 0;
    s.Advance();
    size_t candidate = winner_;
    for (size_t n = (winner_ + k_) / 2; n >= 1; n /= 2) {
      if (Before(*sources_[loser_[n]], *sources_[candidate])) std::swap(loser_[n], candidate);
    }
    winner_ = candidate;
    return true;
  }

 private:
  std::vector<std::unique_ptr<Source>> sources_;
  size_t k_;
  std::vector<size_t> loser_;  // by node, 1 to k - 1
  size_t winner_ = 0;
};

}  // namespace

uint8_t* BlockPool::Take() {
  if (free_.empty()) {
    if (owned_.size() == most_) return nullptr;
    owned_.push_back(std::make_unique<uint8_t[]>(kSize));
    free_.push_back(owned_.back().get());
  }
  uint8_t* block = free_.back();
  free_.pop_back();
  return block;
}

void BlockPool::Give(uint8_t* block) { free_.push_back(block); }

struct EntryRuns::Ahead {
  Held held;
  std::vector<uint8_t> run;
  std::future<void> done;
};

bool EntryRuns::Add(std::span<const uint8_t> key, RowPointer row) {
  const size_t need = 2 + key.size() + 4;
  Held& h = held_;
  if (h.blocks.empty() || h.used + need > BlockPool::kSize) {
    uint8_t* block = pool_.Take();
    if (!block) return false;
    if (!h.blocks.empty()) h.ends.push_back(uint32_t(h.used));
    h.blocks.push_back(block);
    h.used = 0;
  }
  uint8_t* p = h.blocks.back() + h.used;
  const uint16_t size = uint16_t(key.size());
  std::memcpy(p, &size, 2);
  std::memcpy(p + 2, key.data(), key.size());
  const uint32_t packed = PackRow(row);
  std::memcpy(p + 2 + key.size(), &packed, 4);
  h.used += need;
  ++h.count;
  ++added_;
  return true;
}

void EntryRuns::Sort(const Held& held) {
  // The references to the records, in the order they came.
  std::vector<Ref>& refs = sort_refs_;
  const Blocks& blocks = held.blocks;
  refs.clear();
  refs.reserve(held.count);
  for (size_t k = 0; k < blocks.size(); ++k) {
    const uint8_t* block = blocks[k];
    const size_t end = k + 1 < blocks.size() ? held.ends[k] : held.used;
    for (size_t at = 0; at < end;) {
      uint16_t size;
      std::memcpy(&size, block + at, 2);
      refs.push_back(Ref{0, uint32_t((k << BlockPool::kBits) | at), size});
      at += 2 + size + 4;
    }
  }
  auto less = [&blocks](const Ref& a, const Ref& b) {
    const int c = CompareKeys({KeyOf(blocks, a), a.key_size}, {KeyOf(blocks, b), b.key_size});
    if (c != 0) return c < 0;
    return RowOf(blocks, a) < RowOf(blocks, b);
  };
  // Keys that came in order (a counter, rows copied in key order) cost one
  // pass.
  if (std::is_sorted(refs.begin(), refs.end(), less)) return;
  EntrySorter(blocks, refs, sort_space_).Sort();
}

void EntryRuns::Encode(const Held& held, std::vector<uint8_t>& run) const {
  // A record written out takes at most two bytes more than held.
  run.clear();
  run.reserve(held.blocks.size() * BlockPool::kSize + 2 * held.count);
  const uint8_t* previous = nullptr;
  size_t previous_size = 0;
  size_t used = 0;
  for (const Ref& r : sort_refs_) {
    run.resize(used + 1 + 3 + r.key_size + 4);
    const uint8_t* key = KeyOf(held.blocks, r);
    size_t shared = 0;
    const size_t most = std::min<size_t>({previous_size, r.key_size, 255});
    while (previous && shared < most && previous[shared] == key[shared]) ++shared;
    uint8_t* out = run.data() + used;
    *out++ = uint8_t(shared);
    for (size_t rest = r.key_size - shared;; rest >>= 7) {
      *out++ = uint8_t((rest & 0x7F) | (rest >= 0x80 ? 0x80 : 0));
      if (rest < 0x80) break;
    }
    std::memcpy(out, key + shared, r.key_size - shared + 4);  // the rest, then the row
    out += r.key_size - shared + 4;
    used = size_t(out - run.data());
    previous = key;
    previous_size = r.key_size;
  }
  run.resize(used);
}

void EntryRuns::Write(std::span<const uint8_t> run) {
  if (run.empty()) return;
  runs_.push_back(Run{spill_.Append(run), run.size()});
}

void EntryRuns::Release(Held& held) {
  for (uint8_t* block : held.blocks) pool_.Give(block);
  held = Held{};
}

void EntryRuns::Spill() {
  if (held_.count == 0) return;
  Sort(held_);
  std::vector<uint8_t> run;
  Encode(held_, run);
  Write(run);
  Release(held_);
}

void EntryRuns::SpillAhead() {
  if (held_.count == 0) return;
  ahead_ = std::make_unique<Ahead>();
  Ahead& a = *ahead_;
  a.held = std::move(held_);
  held_ = Held{};
  // The sort's memory is taken here: memory a short-lived thread takes and
  // gives back stays with the process as that thread's own heap.
  sort_refs_.reserve(a.held.count);
  sort_space_.reserve(a.held.count);
  a.run.reserve(a.held.blocks.size() * BlockPool::kSize + 2 * a.held.count);
  auto work = [this, &a] {
    Sort(a.held);
    Encode(a.held, a.run);
  };
  try {
    a.done = std::async(std::launch::async, work);
  } catch (const std::system_error&) {
    work();  // no thread to be had: sorted here, written all the same at FinishAhead
  }
}

void EntryRuns::FinishAhead() {
  if (!ahead_) return;
  std::unique_ptr<Ahead> a = std::move(ahead_);
  if (a->done.valid()) a->done.get();
  Write(a->run);
  Release(a->held);
}

EntryRuns::EntryRuns(SpillFile& spill, BlockPool& pool, std::vector<Ref>& sort_refs,
                     std::vector<Ref>& sort_space, size_t most_held)
    : spill_(spill), pool_(pool), sort_refs_(sort_refs), sort_space_(sort_space),
      most_held_(most_held) {}

EntryRuns::EntryRuns(EntryRuns&&) = default;

EntryRuns::~EntryRuns() {
  // A sort under way works on this object's memory: it ends first.
  if (ahead_ && ahead_->done.valid()) ahead_->done.wait();
  if (ahead_) Release(ahead_->held);
  Release(held_);
}

uint64_t EntryRuns::spilled_bytes() const {
  uint64_t bytes = 0;
  for (const Run& run : runs_) bytes += run.bytes;
  return bytes;
}

std::unique_ptr<EntryRuns::Merged> EntryRuns::Merge(size_t buffer_bytes, bool read_whole) {
  FinishAhead();
  Sort(held_);
  std::vector<std::unique_ptr<Source>> sources;
  for (const Run& run : runs_) {
    if (read_whole) {
      std::vector<uint8_t> whole(size_t(run.bytes));
      spill_.Read(run.offset, whole.data(), whole.size());
      sources.push_back(std::make_unique<SpilledSource>(std::move(whole)));
    } else {
      sources.push_back(std::make_unique<SpilledSource>(spill_, run.offset, run.bytes, buffer_bytes));
    }
  }
  sources.push_back(std::make_unique<MemorySource>(std::move(held_.blocks), std::move(sort_refs_), pool_));
  held_ = Held{};
  sort_refs_ = {};
  sort_space_ = {};
  return std::make_unique<Merger>(std::move(sources));
}

MergeAhead::MergeAhead(std::unique_ptr<EntryRuns::Merged> merged, size_t batch, bool on_thread)
    : merged_(std::move(merged)), batch_(batch) {
  if (!on_thread) return;
  try {
    thread_ = std::thread([this] { Produce(); });
  } catch (const std::system_error&) {
    // No thread to be had: the batches are merged as they are asked for.
  }
}

MergeAhead::~MergeAhead() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
}

void MergeAhead::Fill(std::vector<IndexEntry>& batch) {
  batch.clear();
  IndexEntry e;
  while (batch.size() < batch_ && merged_->Next(e)) batch.push_back(std::move(e));
}

void MergeAhead::Produce() {
  std::vector<IndexEntry> batch;
  for (;;) {
    std::exception_ptr error;
    try {
      Fill(batch);
    } catch (...) {
      error = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || !ready_; });
    if (stop_) return;
    std::swap(ready_batch_, batch);
    ready_ = true;
    error_ = error;
    const bool last = error || ready_batch_.empty();
    changed_.notify_all();
    if (last) return;
  }
}

bool MergeAhead::Next(std::vector<IndexEntry>& batch) {
  if (!thread_.joinable()) {
    Fill(batch);
    return !batch.empty();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return ready_; });
  if (error_) std::rethrow_exception(error_);
  std::swap(batch, ready_batch_);
  if (batch.empty()) return false;  // the last: it stays, empty, for any later call
  ready_ = false;
  changed_.notify_all();
  return true;
}

}  // namespace act::db::jet
