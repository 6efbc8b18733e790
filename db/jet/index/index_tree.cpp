#include "db/jet/index/index_tree.h"

#include <algorithm>
#include <optional>

#include "db/errors.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

constexpr size_t kMaxDepth = 16;

// How a page that overflows is cut.
enum class Cut {
  kHalves,    // two halves by bytes
  kAppended,  // all but the last entry stay together: sequential inserts
              // leave packed pages behind
  kPacked,    // each page filled as far as it goes (entries put in by the
              // leafful)
};

// Cuts a page's entries into pieces that each fit a page, and returns where
// each piece ends; pieces are re-cut greedily if the cut asked for does not
// give two that fit (very long keys, or many entries at once).
std::vector<size_t> Partition(const Format& f, const IndexPage& page, Cut how) {
  const std::vector<IndexEntry>& all = page.entries;
  auto fits = [&](size_t begin, size_t end, bool last_piece) {
    // A node's last entry, but on the last piece, becomes its tail.
    if (!page.leaf && !last_piece) --end;
    return EntriesFit(f, std::span(all).subspan(begin, end - begin), page.leaf,
                      last_piece ? page.next != 0 : true);
  };
  size_t cut = 0;
  if (how == Cut::kAppended && all.size() >= 2) {
    cut = all.size() - 1;
  } else {
    size_t total = 0;
    for (const IndexEntry& e : all) total += e.key.size();
    size_t half = 0;
    while (cut + 1 < all.size() && (half + all[cut].key.size()) * 2 <= total) {
      half += all[cut].key.size();
      ++cut;
    }
    cut = std::max<size_t>(cut, 1);
  }
  if (how != Cut::kPacked && fits(0, cut, false) && fits(cut, all.size(), true)) {
    return {cut, all.size()};
  }
  // Greedy: fill each page as far as it goes. Whether entries fit only
  // gets worse as entries are added (more bytes, a shorter shared prefix),
  // so the cut is searched for by halving; working out whether a page of
  // equal keys fits costs a pass over its entries.
  std::vector<size_t> ends;
  size_t begin = 0;
  while (!fits(begin, all.size(), false)) {
    size_t fitting = begin + 1, too_many = all.size();
    while (too_many - fitting > 1) {
      const size_t middle = fitting + (too_many - fitting) / 2;
      (fits(begin, middle, false) ? fitting : too_many) = middle;
    }
    ends.push_back(fitting);
    begin = fitting;
  }
  // The last piece stays on the page, which may end its level and then
  // stores its entries whole: give it what it holds that way.
  if (!fits(begin, all.size(), true)) {
    size_t too_few = begin, fitting = all.size() - 1;
    while (fitting - too_few > 1) {
      const size_t middle = too_few + (fitting - too_few) / 2;
      (fits(middle, all.size(), true) ? fitting : too_few) = middle;
    }
    ends.push_back(fitting);
  }
  ends.push_back(all.size());
  if (how != Cut::kPacked || ends.size() < 2) return ends;
  // As many pages, evenly filled: greedy cuts leave a last page with next
  // to nothing, which the next entries split again.
  std::vector<size_t> even;
  size_t total = 0;
  for (const IndexEntry& e : all) total += e.key.size() + 4;
  size_t so_far = 0;
  for (size_t i = 0; i + 1 < all.size() && even.size() + 1 < ends.size(); ++i) {
    so_far += all[i].key.size() + 4;
    if (so_far * ends.size() >= total * (even.size() + 1)) even.push_back(i + 1);
  }
  even.push_back(all.size());
  if (even.size() != ends.size()) return ends;
  for (size_t piece = 0, from = 0; piece < even.size(); from = even[piece++]) {
    if (!fits(from, even[piece], piece + 1 == even.size())) return ends;
  }
  return even;
}

std::string AlreadyHeld(RowPointer row) {
  return "index already holds row " + std::to_string(row.page) + ":" + std::to_string(row.row);
}

}  // namespace

IndexTree::IndexTree(Pager& pager, const Format& format, uint32_t owner, uint32_t root,
                     IndexPageSource pages, size_t max_cached_pages)
    : pager_(pager), format_(format), owner_(owner), root_(root), pages_(std::move(pages)),
      max_cached_(std::max<size_t>(max_cached_pages, 2 * kMaxDepth + 8)),
      cached_limit_(std::min(max_cached_, kStartCachedPages)),
      shortcuts_(format, clock_,
                 [this](uint32_t number) -> const IndexPage& { return Load(number); }) {}

void IndexTree::Fail(uint32_t page, const std::string& what) {
  throw PageFailure(pager_.path(), page, what);
}

IndexTree::Cached& IndexTree::LoadCached(uint32_t number) {
  auto it = cache_.find(number);
  if (it == cache_.end()) {
    Cached cached;
    cached.page = ReadIndexPage(pager_, format_, number, owner_);
    ++reads_since_trim_;
    it = cache_.emplace(number, std::move(cached)).first;
  }
  it->second.used = ++clock_;
  return it->second;
}

IndexPage& IndexTree::Load(uint32_t number) { return LoadCached(number).page; }

IndexTree::Step IndexTree::StepTo(uint32_t number, size_t slot) {
  Cached& cached = LoadCached(number);
  return Step{&cached.page, slot, &cached};
}

IndexPage& IndexTree::Create(uint32_t number) {
  Cached& cached = cache_[number];
  cached = Cached{};
  cached.page.number = number;
  cached.dirty = true;
  cached.used = ++clock_;
  fresh_.insert(number);
  return cached.page;
}

IndexTree::Path IndexTree::Descend(const IndexEntry& target) {
  Path path;
  uint32_t number = root_;
  bool by_tails = true;  // every node so far was left through its tail
  for (;;) {
    if (path.size() > kMaxDepth) Fail(number, "index tree deeper than any Jet builds");
    Step step = StepTo(number, 0);
    if (step.page->leaf) {
      if (by_tails && step.page->next == 0) shortcuts_.FoundRightmost(step.cached);
      path.push_back(step);
      return path;
    }
    const auto& entries = step.page->entries;
    // The first entry not below the target (entries are in order).
    size_t slot = size_t(std::lower_bound(entries.begin(), entries.end(), target,
                                          [](const IndexEntry& a, const IndexEntry& b) {
                                            return CompareEntries(a, b) < 0;
                                          }) -
                         entries.begin());
    // Past every entry: the tail child; a node without a tail (one child
    // with an entry) sends it to its last entry.
    if (slot == entries.size() && step.page->tail == 0) {
      if (entries.empty()) Fail(number, "index node page without children");
      slot = entries.size() - 1;
    }
    step.slot = slot;
    by_tails &= slot == entries.size();
    number = slot < entries.size() ? entries[slot].child : step.page->tail;
    path.push_back(step);
  }
}

bool IndexTree::PropagateLast(Path& path, size_t level, const IndexEntry& last) {
  // A node entry copies its child's last entry; a change of the last entry
  // of a tail child changes the parent's own last entry, and so on up.
  bool grew = false;
  for (size_t l = level; l > 0; --l) {
    Step& parent = path[l - 1];
    auto& entries = parent.page->entries;
    if (parent.slot < entries.size()) {
      grew |= last.key.size() > entries[parent.slot].key.size();
      entries[parent.slot].key = last.key;
      entries[parent.slot].row = last.row;
      bool is_last_child = parent.slot + 1 == entries.size() && parent.page->tail == 0;
      if (!is_last_child) return grew;
    }
  }
  return grew;
}

void IndexTree::Relink(uint32_t number, std::optional<uint32_t> prev,
                       std::optional<uint32_t> next) {
  if (number == 0) return;
  IndexPage& page = Load(number);
  if (prev) page.prev = *prev;
  if (next) page.next = *next;
  Cached& cached = cache_[number];
  cached.dirty = true;
  cached.figures.reset();
  relinked_.push_back(number);
}

void IndexTree::Split(Path& path, size_t level, bool appended, bool packed) {
  IndexPage& old = *path[level].page;
  const std::vector<size_t> ends =
      Partition(format_, old, packed ? Cut::kPacked : appended ? Cut::kAppended : Cut::kHalves);
  // New pages for every piece but the last, which stays on the old page.
  std::vector<uint32_t> numbers;
  for (size_t i = 0; i + 1 < ends.size(); ++i) numbers.push_back(pages_.allocate());
  std::vector<IndexEntry> parent_entries;
  size_t begin = 0;
  for (size_t i = 0; i + 1 < ends.size(); ++i) {
    IndexPage& page = Create(numbers[i]);
    page.leaf = old.leaf;
    page.prev = i == 0 ? old.prev : numbers[i - 1];
    page.next = i + 2 < ends.size() ? numbers[i + 1] : old.number;
    // The pieces leave the old page from its front, each taking the entries
    // up to its end.
    MoveFrontEntries(old.entries, ends[i] - begin, page.entries);
    begin = ends[i];
    IndexEntry up = page.entries.back();
    up.child = page.number;
    if (!page.leaf) {
      page.tail = page.entries.back().child;
      page.entries.pop_back();
    }
    parent_entries.push_back(std::move(up));
  }
  if (old.prev != 0) Relink(old.prev, std::nullopt, numbers.front());
  old.prev = numbers.back();

  if (level == 0) {
    // The root split: a new root above, with the old root as its tail.
    IndexPage& root = Create(pages_.allocate());
    root.leaf = false;
    root.tail = old.number;
    root.entries = std::move(parent_entries);
    root_ = root.number;
    path.insert(path.begin(), StepTo(root.number, root.entries.size()));
    return;
  }
  Step& parent = path[level - 1];
  parent.page->entries.insert(parent.page->entries.begin() + parent.slot, parent_entries.begin(),
                              parent_entries.end());
  parent.slot += parent_entries.size();
}

void IndexTree::SplitOverfull(Path& path, bool leaf_grew_at_end, bool ancestors_changed,
                              bool pack_leaf) {
  // Split upwards while a page overflows. A page that grew at its end and
  // is the last of its level was appended to: it keeps its packed entries.
  // Above a page that fits, only a split below or a changed key can have
  // made a page grow.
  bool split_below = false;
  for (size_t level = path.size(); level-- > 0;) {
    const Step& s = path[level];
    if (IndexPageFits(format_, *s.page)) {
      if (!split_below && !ancestors_changed) break;
      split_below = false;
      continue;
    }
    bool grew_at_end = s.page->leaf ? leaf_grew_at_end : s.slot == s.page->entries.size();
    size_t depth = path.size();
    Split(path, level, grew_at_end && s.page->next == 0, pack_leaf && s.page->leaf);
    split_below = true;
    // A new root was put on top: look at it next, as the pieces of a page
    // that took many entries at once may not fit in one.
    if (path.size() != depth) level = 1;
  }
}

bool IndexTree::Insert(IndexEntry entry) {
  if (bool new_key = false; shortcuts_.Insert(entry, new_key)) return new_key;
  Path path = Descend(entry);
  shortcuts_.Remember(path.back().cached);
  IndexPage& leaf = *path.back().page;
  auto& entries = leaf.entries;
  auto at = std::lower_bound(entries.begin(), entries.end(), entry,
                             [](const IndexEntry& a, const IndexEntry& b) {
                               return CompareEntries(a, b) < 0;
                             });
  if (at != entries.end() && CompareEntries(*at, entry) == 0) {
    Fail(leaf.number, AlreadyHeld(entry.row));
  }
  size_t pos = size_t(at - entries.begin());
  // A new distinct key differs from both neighbours, which may sit on the
  // neighbouring leaves.
  const KeyBytes* before = nullptr;
  const KeyBytes* after = nullptr;
  if (pos > 0) {
    before = &entries[pos - 1].key;
  } else if (leaf.prev != 0) {
    const IndexPage& prev = Load(leaf.prev);
    if (!prev.entries.empty()) before = &prev.entries.back().key;
  }
  if (pos < entries.size()) {
    after = &entries[pos].key;
  } else if (leaf.next != 0) {
    const IndexPage& next = Load(leaf.next);
    if (!next.entries.empty()) after = &next.entries.front().key;
  }
  bool new_key = (!before || *before != entry.key) && (!after || *after != entry.key);

  entry.child = 0;
  InsertEntry(entries, pos, std::move(entry));
  const bool at_end = pos + 1 == entries.size();
  // Node pages are not compressed: only a longer key can make one overflow.
  const bool ancestors_grew = at_end && PropagateLast(path, path.size() - 1, entries.back());

  SplitOverfull(path, at_end, ancestors_grew);
  Settle(path);
  return new_key;
}

size_t IndexTree::InsertSorted(std::vector<IndexEntry>& entries) {
  shortcuts_.PutGap();
  for (size_t i = 1; i < entries.size(); ++i) {
    if (CompareEntries(entries[i - 1], entries[i]) >= 0) {
      Fail(root_, "entries to insert are not in index order");
    }
  }
  shortcuts_.DropProbe();
  size_t new_keys = 0;
  for (size_t i = 0; i < entries.size();) {
    Path path = Descend(entries[i]);
    shortcuts_.Remember(path.back().cached);
    IndexPage& leaf = *path.back().page;
    // This leaf takes the entries below its last one (a descent sends the
    // others further right), or all that are left when it ends the level.
    size_t end = i;
    if (leaf.next == 0) {
      end = entries.size();
    } else {
      if (leaf.entries.empty()) Fail(leaf.number, "empty index leaf inside its level");
      while (end < entries.size() && CompareEntries(entries[end], leaf.entries.back()) < 0) ++end;
      if (end == i) {
        Fail(leaf.number, AlreadyHeld(entries[i].row));
      }
    }
    // As if the entries went in one by one in order, an entry's key is new
    // unless the entry before it or the first old entry after it has the
    // same. On a leaf that does not end its level an old entry always
    // follows; the one before may be the previous leaf's last.
    const KeyBytes* before_leaf = nullptr;
    if (leaf.prev != 0 &&
        (leaf.entries.empty() || CompareEntries(entries[i], leaf.entries.front()) < 0)) {
      const IndexPage& prev = Load(leaf.prev);
      if (!prev.entries.empty()) before_leaf = &prev.entries.back().key;
    }
    std::vector<IndexEntry> old = std::move(leaf.entries);
    leaf.entries.clear();
    leaf.entries.reserve(old.size() + (end - i));
    size_t o = 0;
    for (; i < end; ++i) {
      for (; o < old.size(); ++o) {
        const int c = CompareEntries(old[o], entries[i]);
        if (c == 0) {
          Fail(leaf.number, AlreadyHeld(entries[i].row));
        }
        if (c > 0) break;
        leaf.entries.push_back(std::move(old[o]));
      }
      const KeyBytes* previous = leaf.entries.empty() ? before_leaf : &leaf.entries.back().key;
      const KeyBytes* following = o < old.size() ? &old[o].key : nullptr;
      const KeyBytes& key = entries[i].key;
      if ((!previous || *previous != key) && (!following || *following != key)) ++new_keys;
      entries[i].child = 0;
      leaf.entries.push_back(std::move(entries[i]));
    }
    // The last entry is new when no old one followed the batch's (which can
    // happen only on the level's last leaf).
    const bool last_changed = o == old.size();
    for (; o < old.size(); ++o) leaf.entries.push_back(std::move(old[o]));
    const bool ancestors_grew =
        last_changed && PropagateLast(path, path.size() - 1, leaf.entries.back());
    SplitOverfull(path, last_changed, ancestors_grew, /*pack_leaf=*/true);
    Settle(path);
  }
  return new_keys;
}

std::vector<RowPointer> IndexTree::Find(const KeyBytes& key) {
  std::vector<RowPointer> rows;
  if (shortcuts_.Find(key, rows)) return rows;
  // The smallest entry of this key: the key with the lowest row pointer.
  Path path = Descend(IndexEntry{key, RowPointer{0, 0}, 0});
  uint32_t number = path.back().page->number;
  shortcuts_.Remember(path.back().cached);
  for (size_t hops = 0; number != 0; ++hops) {
    if (hops > cache_.size() + pager_.page_count()) Fail(number, "leaf chain has a loop");
    const IndexPage& page = Load(number);
    if (!page.leaf) Fail(number, "leaf chain reaches a node page");
    auto it = std::lower_bound(page.entries.begin(), page.entries.end(), key,
                               [](const IndexEntry& e, const KeyBytes& k) {
                                 return CompareKeys(e.key, k) < 0;
                               });
    for (; it != page.entries.end(); ++it) {
      if (CompareKeys(it->key, key) != 0) {
        Trim();
        return rows;
      }
      rows.push_back(it->row);
    }
    number = page.next;
  }
  Trim();
  return rows;
}

void IndexTree::Unlink(Path& path, size_t level) {
  // Takes the empty page at `level` out of its level and its parent.
  IndexPage& page = *path[level].page;
  if (page.prev != 0) Relink(page.prev, std::nullopt, page.next);
  if (page.next != 0) Relink(page.next, page.prev, std::nullopt);
  released_.push_back(page.number);
  Step& parent = path[level - 1];
  auto& entries = parent.page->entries;
  if (parent.slot < entries.size()) {
    bool was_last = parent.slot + 1 == entries.size() && parent.page->tail == 0;
    entries.erase(entries.begin() + parent.slot);
    if (was_last && !entries.empty()) PropagateLast(path, level - 1, entries.back());
  } else if (!entries.empty()) {
    // The tail went: the last entry's child becomes the tail, and the
    // parent's last key is now that child's.
    IndexEntry last = entries.back();
    parent.page->tail = last.child;
    entries.pop_back();
    parent.slot = entries.size();
    PropagateLast(path, level - 1, last);
  } else {
    parent.page->tail = 0;
  }
  path.erase(path.begin() + level, path.end());
  if (entries.empty() && parent.page->tail == 0) {
    if (level - 1 > 0) {
      Unlink(path, level - 1);
    } else {
      parent.page->leaf = true;  // the whole tree emptied: an empty root leaf
    }
  }
}

bool IndexTree::Remove(const IndexEntry& entry) {
  shortcuts_.PutGap();
  shortcuts_.DropProbe();
  // A removal may unlink pages on the right edge; a descent finds the last
  // leaf again.
  shortcuts_.DropRightmost();
  Path path = Descend(entry);
  IndexPage& leaf = *path.back().page;
  auto& entries = leaf.entries;
  auto at = std::lower_bound(entries.begin(), entries.end(), entry,
                             [](const IndexEntry& a, const IndexEntry& b) {
                               return CompareEntries(a, b) < 0;
                             });
  if (at == entries.end() || CompareEntries(*at, entry) != 0) {
    Trim();
    return false;
  }
  const bool was_last = at + 1 == entries.end();
  entries.erase(at);
  if (entries.empty() && path.size() > 1) {
    Unlink(path, path.size() - 1);
  } else if (was_last && !entries.empty()) {
    PropagateLast(path, path.size() - 1, entries.back());
  }
  // A node entry may have taken a longer key from its child.
  SplitOverfull(path, false, /*ancestors_changed=*/true);
  // A root left with a single child through its tail hands the root over.
  while (!path.empty() && !path.front().page->leaf && path.front().page->entries.empty() &&
         path.front().page->tail != 0) {
    released_.push_back(path.front().page->number);
    root_ = path.front().page->tail;
    path.erase(path.begin());
    if (path.empty()) path.push_back(StepTo(root_, 0));
  }
  Settle(path);
  return true;
}

void IndexTree::Settle(const Path& path) {
  for (const Step& s : path) {
    s.cached->dirty = true;
    s.cached->figures.reset();
  }
  for (uint32_t number : released_) {
    if (auto it = cache_.find(number); it != cache_.end()) {
      shortcuts_.Forget(&it->second);
      cache_.erase(it);
    }
    fresh_.erase(number);
    pages_.release(number);
  }
  released_.clear();
  // A leaf that became the last of its level loses its prefix compression
  // and may no longer fit: split it like a page that grew.
  std::vector<uint32_t> relinked = std::move(relinked_);
  relinked_.clear();
  for (uint32_t number : relinked) {
    auto it = cache_.find(number);
    if (it == cache_.end() || IndexPageFits(format_, it->second.page)) continue;
    if (it->second.page.entries.empty()) Fail(number, "empty index page does not fit");
    Path to = Descend(it->second.page.entries.back());
    if (to.back().page->number != number) Fail(number, "leaf not reached from the root");
    SplitOverfull(to, false, /*ancestors_changed=*/true);
    Settle(to);
  }
  Trim();
}

void IndexTree::Write(uint32_t number, Cached& cached) {
  shortcuts_.PutGapOf(&cached);
  // A page new since the pager last saw it goes out before the pages that
  // point at it, however often it changed since.
  int order = kWriteIndexes;
  if (fresh_.erase(number) != 0 || pager_.PendingOrder(number) == kWriteNewIndexPages) {
    order = kWriteNewIndexPages;
  }
  pager_.Write(number, EncodeIndexPage(format_, owner_, cached.page, pager_.path()), order);
  cached.dirty = false;
}

void IndexTree::WriteChanges() {
  shortcuts_.PutGap();
  for (auto& [number, cached] : cache_) {
    if (cached.dirty) Write(number, cached);
  }
}

void IndexTree::Trim() {
  if (cache_.size() <= cached_limit_) return;
  // Forget the least recently used quarter at once, so the sort is paid
  // once per many operations.
  size_t keep = cached_limit_ * 3 / 4;
  size_t drop = cache_.size() - keep;
  // A tree that read back from the pager as many pages as it is about to
  // drop is working over more pages than it keeps (keys in no order): it
  // may keep more. One whose changes stay among a few leaves (keys in
  // order, or in a few runs) keeps few, so the pages it drops are still
  // in the processor's cache when they are encoded and freed.
  const bool rereading = reads_since_trim_ >= drop;
  reads_since_trim_ = 0;
  if (rereading && cached_limit_ < max_cached_) {
    cached_limit_ = std::min(max_cached_, cached_limit_ * 2);
    if (cache_.size() <= cached_limit_) return;
    keep = cached_limit_ * 3 / 4;
    drop = cache_.size() - keep;
  }
  std::vector<std::pair<uint64_t, uint32_t>> by_use;
  by_use.reserve(cache_.size());
  for (const auto& [number, cached] : cache_) by_use.emplace_back(cached.used, number);
  std::nth_element(by_use.begin(), by_use.begin() + drop, by_use.end());
  for (size_t i = 0; i < drop; ++i) {
    auto it = cache_.find(by_use[i].second);
    if (it->second.dirty) Write(it->first, it->second);
    shortcuts_.Forget(&it->second);
    cache_.erase(it);
  }
}

}  // namespace act::db::jet
