#include "db/jet/file/pager.h"

#include <algorithm>
#include <tuple>

#include "db/errors.h"
#include "db/jet/file/rc4.h"

namespace act::db::jet {

Pager::Pager(std::unique_ptr<RandomAccessFile> file, size_t max_cached_pages)
    : file_(std::move(file)),
      path_(std::make_shared<const std::string>(file_->path())),
      max_cached_(max_cached_pages < 4 ? 4 : max_cached_pages) {}

void Pager::Configure(uint32_t page_size, uint32_t database_key) {
  page_size_ = page_size;
  database_key_ = database_key;
  page_count_ = uint32_t(file_->Size() / page_size);
  lru_.clear();
  index_.clear();
}

std::vector<uint8_t> Pager::ReadHeaderBytes(size_t n) {
  std::vector<uint8_t> bytes(n);
  if (file_->ReadAt(0, bytes.data(), n) != n) {
    throw PageFailure(*path_, 0, "the file is too short to be a database",
                      kJetUnrecognizedFormat);
  }
  return bytes;
}

void Pager::Scramble(uint32_t number, std::span<uint8_t> bytes) const {
  if (database_key_ == 0 || number == 0) return;
  uint32_t k = database_key_ ^ number;
  const uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
  Rc4Xor(key, bytes);
}

PageRef Pager::Get(uint32_t number) {
  if (!pending_.empty()) {
    auto waiting = pending_.find(number);
    if (waiting != pending_.end()) return waiting->second.page;
  }
  auto found = index_.find(number);
  if (found != index_.end()) {
    lru_.splice(lru_.begin(), lru_, found->second);
    return *found->second;
  }
  if (page_size_ == 0) throw PageFailure(*path_, number, "read before the header");
  if (number >= page_count_) {
    throw PageFailure(*path_, number,
                      "page past the end of the file (" + std::to_string(page_count_) +
                          " pages)");
  }
  std::vector<uint8_t> bytes(page_size_);
  size_t got = file_->ReadAt(uint64_t(number) * page_size_, bytes.data(), page_size_);
  ++reads_;
  if (got != page_size_) throw PageFailure(*path_, number, "short read: the file was truncated");
  Scramble(number, bytes);
  auto page = std::make_shared<const Page>(number, std::move(bytes), path_);
  Remember(page);
  return page;
}

void Pager::ReadAhead(uint32_t first, uint32_t count) {
  if (page_size_ == 0 || first >= page_count_) return;
  count = std::min({count, page_count_ - first, uint32_t(max_cached_ / 2)});
  uint32_t n = 0;
  while (n < count && !index_.count(first + n) && !pending_.count(first + n)) ++n;
  if (n < 2) return;
  std::vector<uint8_t> run(size_t(n) * page_size_);
  size_t got = file_->ReadAt(uint64_t(first) * page_size_, run.data(), run.size());
  for (uint32_t k = 0; k < got / page_size_; ++k) {
    auto from = run.begin() + ptrdiff_t(k) * page_size_;
    std::vector<uint8_t> bytes(from, from + page_size_);
    ++reads_;
    Scramble(first + k, bytes);
    Remember(std::make_shared<const Page>(first + k, std::move(bytes), path_));
  }
}

void Pager::Remember(PageRef page) {
  auto found = index_.find(page->number());
  if (found != index_.end()) {
    lru_.erase(found->second);
    index_.erase(found);
  }
  lru_.push_front(page);
  index_[page->number()] = lru_.begin();
  while (lru_.size() > max_cached_) {
    index_.erase(lru_.back()->number());
    lru_.pop_back();
  }
  if (lru_.size() > peak_cached_) peak_cached_ = lru_.size();
}

namespace {

uint32_t page_limit = Pager::kMaxPages;

}  // namespace

void Pager::LimitPagesForTests(uint32_t pages) { page_limit = pages == 0 ? kMaxPages : pages; }

void Pager::Write(uint32_t number, std::vector<uint8_t> bytes, int order) {
  if (bytes.size() != page_size_ || number > page_count_) {
    throw PageFailure(*path_, number, "write of a partial page or past the end");
  }
  if (number == page_count_ && number >= page_limit) {
    throw JetFailure(kJetDatabaseTooLarge,
                     *path_ + ": a new page would take the file past " +
                         std::to_string(page_limit) + " pages of " + std::to_string(page_size_) +
                         " bytes, the most a Jet database holds");
  }
  // Not const itself: a page waiting for the flush may be changed in place
  // (SetPendingByte).
  PageRef page = std::make_shared<Page>(number, std::move(bytes), path_);
  if (deferred_) {
    Pending& p = pending_[number];
    p.order = order;
    p.page = page;
    auto cached = index_.find(number);
    if (cached != index_.end()) {
      lru_.erase(cached->second);
      index_.erase(cached);
    }
  } else {
    WriteThrough(number, page->bytes());
    Remember(page);
  }
  if (number == page_count_) ++page_count_;
}

bool Pager::SetPendingByte(uint32_t number, size_t offset, uint8_t value, int order) {
  auto waiting = pending_.find(number);
  if (waiting == pending_.end() || waiting->second.page.use_count() != 1 ||
      offset >= page_size_) {
    return false;
  }
  // The page was made non-const by Write() and only the pager holds it.
  const_cast<Page&>(*waiting->second.page).bytes_[offset] = value;
  waiting->second.order = order;
  return true;
}

void Pager::WriteThrough(uint32_t number, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> stored = bytes;
  Scramble(number, stored);
  file_->WriteAt(uint64_t(number) * page_size_, stored.data(), stored.size());
}

void Pager::DiscardWrites() {
  if (!deferred_) return;
  pending_.clear();
  page_count_ = file_pages_;
}

void Pager::BeginDeferredWrites() {
  if (deferred_) return;
  deferred_ = true;
  file_pages_ = page_count_;
}

void Pager::FlushWrites(bool sync) {
  if (!deferred_) return;
  std::vector<std::pair<uint32_t, const Pending*>> order;
  order.reserve(pending_.size());
  for (const auto& [number, pending] : pending_) order.emplace_back(number, &pending);
  auto rank = [this](const std::pair<uint32_t, const Pending*>& p) {
    bool appended = p.first >= file_pages_;
    return std::tuple(!appended, appended ? 0 : p.second->order, p.first);
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
  // Neighbouring pages that follow each other in that order go out in one
  // write: the file sees fewer, larger writes, and a write cut short still
  // leaves a prefix of the order.
  constexpr uint32_t kRunPages = 32;
  std::vector<uint8_t> run;
  run.reserve(size_t(kRunPages) * page_size_);
  uint32_t run_first = 0;
  auto write_run = [&] {
    if (run.empty()) return;
    file_->WriteAt(uint64_t(run_first) * page_size_, run.data(), run.size());
    uint32_t end = run_first + uint32_t(run.size() / page_size_);
    if (end > file_pages_) file_pages_ = end;
    run.clear();
  };
  for (const auto& [number, pending] : order) {
    const uint32_t run_pages = uint32_t(run.size() / page_size_);
    if (run_pages == kRunPages || (run_pages > 0 && number != run_first + run_pages)) write_run();
    if (run.empty()) run_first = number;
    const std::vector<uint8_t>& bytes = pending->page->bytes();
    const size_t at = run.size();
    run.insert(run.end(), bytes.begin(), bytes.end());
    Scramble(number, std::span<uint8_t>(run).subspan(at));
  }
  write_run();
  if (sync) file_->Sync();
  // Only the last pages written can stay in the cache.
  for (size_t k = order.size() > max_cached_ ? order.size() - max_cached_ : 0; k < order.size(); ++k) {
    Remember(order[k].second->page);
  }
  pending_.clear();
  file_pages_ = page_count_;
}

}  // namespace act::db::jet
