#include "db/jet/index/leaf_shortcuts.h"

#include <algorithm>

#include "db/jet/index/finger_search.h"

namespace act::db::jet {

namespace {

// A leaf's figures once `entry` is in it, as one more whole entry (its key
// and a row pointer).
LeafFigures WithLeafEntry(LeafFigures figures, const IndexEntry& entry) {
  figures.whole += entry.key.size() + 4;
  figures.shortest = std::min(figures.shortest, entry.key.size() + 4);
  return figures;
}

}  // namespace

LeafShortcuts::LeafShortcuts(const Format& format, uint64_t& clock, LoadPage load)
    : format_(format), clock_(clock), load_(std::move(load)) {}

bool LeafShortcuts::Insert(IndexEntry& entry, bool& new_key) {
  // The place a lookup just found comes first: a unique index looks every
  // key up before inserting it, and that place is never past the last leaf.
  bool inserted = InsertAtProbe(entry, new_key);
  if (!inserted) {
    PutGap();  // the other paths read the leaves whole
    inserted = AppendToRightmost(entry, new_key) || InsertIntoHint(entry, new_key);
  }
  probe_.leaf = nullptr;  // the tree changes now, whichever way
  return inserted;
}

bool LeafShortcuts::Find(const KeyBytes& key, std::vector<RowPointer>& rows) {
  probe_.leaf = nullptr;
  if (gap_.leaf != nullptr) {
    if (InGap(key)) {
      FindInGap(key, rows);
      return true;
    }
    PutGap();
  }
  // A key above the first key of a recent leaf has no entry on the leaves
  // before it. Below its last key, all its entries are on it; above, and
  // below the first key of the next leaf, it has none. That last case
  // needs the next leaf, so it is only tried when no hint answers alone.
  for (bool look_next : {false, true}) {
    for (CachedIndexPage* hint : hints_) {
      if (hint == nullptr) break;
      if (!hint->page.leaf || hint->page.entries.empty()) continue;
      const IndexPage& leaf = hint->page;
      const auto& entries = leaf.entries;
      if (CompareKeys(entries.front().key, key) >= 0) continue;
      const int against_last = CompareKeys(key, entries.back().key);
      if (against_last < 0) {
        auto e = entries.begin() + GallopLowerBound(entries.size(), hint->finger, [&](size_t i) {
                   return CompareKeys(entries[i].key, key) < 0;
                 });
        hint->finger = size_t(e - entries.begin());
        for (; CompareKeys(e->key, key) == 0; ++e) rows.push_back(e->row);
        if (rows.empty()) {
          probe_.leaf = hint;
          probe_.in_gap = false;
          probe_.slot = size_t(e - entries.begin());
          probe_.key = key;
        }
      } else if (against_last > 0 && leaf.next != 0) {
        if (!look_next) continue;
        const IndexPage& next = load_(leaf.next);
        if (!next.leaf || next.entries.empty() || CompareKeys(key, next.entries.front().key) >= 0) {
          continue;
        }
      } else if (against_last == 0) {
        continue;  // its entries may go on over the next leaf
      }
      hint->used = ++clock_;
      Remember(hint);
      return true;
    }
  }
  return false;
}

void LeafShortcuts::FindInGap(const KeyBytes& key, std::vector<RowPointer>& rows) {
  // Between the two leaf entries around the gap: its entries, if any, wait
  // there. A run's next key usually goes after the last of them.
  const auto& waiting = gap_.entries;
  size_t at = waiting.size();
  if (CompareKeys(waiting.back().key, key) >= 0) {
    at = size_t(std::lower_bound(waiting.begin(), waiting.end(), key,
                                 [](const IndexEntry& e, const KeyBytes& k) {
                                   return CompareKeys(e.key, k) < 0;
                                 }) -
                waiting.begin());
  }
  for (size_t i = at; i < waiting.size() && CompareKeys(waiting[i].key, key) == 0; ++i) {
    rows.push_back(waiting[i].row);
  }
  if (rows.empty()) {
    probe_.leaf = gap_.leaf;
    probe_.in_gap = true;
    probe_.gap_at = at;
    probe_.key = key;
  }
  gap_.leaf->used = ++clock_;
}

void LeafShortcuts::Remember(CachedIndexPage* leaf) {
  // Most recent first; rows that cycle through a few regions of the index
  // (titles starting with a handful of words) keep a leaf for each.
  if (hints_.front() == leaf) return;
  auto at = std::find(hints_.begin(), hints_.end(), leaf);
  if (at == hints_.end()) at = hints_.end() - 1;
  std::rotate(hints_.begin(), at, at + 1);
  hints_.front() = leaf;
}

void LeafShortcuts::Forget(const CachedIndexPage* page) {
  if (rightmost_ == page) rightmost_ = nullptr;
  if (probe_.leaf == page) probe_.leaf = nullptr;
  auto at = std::find(hints_.begin(), hints_.end(), page);
  if (at == hints_.end()) return;
  std::move(at + 1, hints_.end(), at);
  hints_.back() = nullptr;
}

CachedIndexPage* LeafShortcuts::HintedLeaf(const IndexEntry& target) {
  // When a recent leaf holds entries on both sides of the target, it is the
  // leaf a descent would reach (the entries of the leaves before it are all
  // lower, and its parent's entry, a copy of its last, is not lower), and
  // the change stays inside it unless it overflows.
  for (CachedIndexPage* hint : hints_) {
    if (hint == nullptr) break;
    const IndexPage& leaf = hint->page;
    if (!leaf.leaf || leaf.entries.size() < 2) continue;
    if (CompareEntries(leaf.entries.front(), target) >= 0) continue;
    if (CompareEntries(target, leaf.entries.back()) >= 0) continue;
    hint->used = ++clock_;
    Remember(hint);
    return hint;
  }
  return nullptr;
}

bool LeafShortcuts::InsertAtProbe(IndexEntry& entry, bool& new_key) {
  if (probe_.leaf == nullptr || probe_.key != entry.key) return false;
  // The lookup just before found no entry of this key, between two of
  // this leaf's (or among the entries waiting in the gap): it goes there
  // whatever its row.
  new_key = true;
  if (probe_.in_gap) return AddToGap(probe_.gap_at, entry);
  // The lookup put any other gap in (its key was not in it), so the
  // probe's place still holds; were a gap open, the place could be stale,
  // and the slow path finds it again.
  if (gap_.leaf != nullptr) return false;
  CachedIndexPage& cached = *probe_.leaf;
  if (!cached.figures) cached.figures = FiguresOf(cached.page);
  LeafFigures grown = WithLeafEntry(*cached.figures, entry);
  if (!grown.stable_common) return InsertInside(cached, probe_.slot, entry);
  if (!LeafFits(format_, grown, cached.page.entries.size() + 1, cached.page.next != 0)) {
    return false;  // the slow path splits it
  }
  // The first of a run: it waits in a gap of its own.
  gap_.leaf = &cached;
  gap_.slot = probe_.slot;
  gap_.entries.push_back(std::move(entry));
  cached.figures = grown;
  cached.dirty = true;
  cached.finger = probe_.slot;
  return true;
}

bool LeafShortcuts::AddToGap(size_t at, IndexEntry& entry) {
  CachedIndexPage& cached = *gap_.leaf;
  LeafFigures grown = WithLeafEntry(*cached.figures, entry);
  const size_t count = cached.page.entries.size() + gap_.entries.size() + 1;
  if (gap_.entries.size() >= kGapEntries || !LeafFits(format_, grown, count, cached.page.next != 0)) {
    // Into the leaf with the others; the other paths find its place again.
    PutGap();
    return false;
  }
  gap_.entries.insert(gap_.entries.begin() + ptrdiff_t(at), std::move(entry));
  cached.figures = grown;
  return true;
}

bool LeafShortcuts::InGap(const KeyBytes& key) const {
  const auto& entries = gap_.leaf->page.entries;
  return CompareKeys(entries[gap_.slot - 1].key, key) < 0 &&
         CompareKeys(key, entries[gap_.slot].key) < 0;
}

void LeafShortcuts::PutGap() {
  if (gap_.leaf == nullptr) return;
  if (probe_.in_gap) probe_.leaf = nullptr;  // its place moves
  const size_t count = gap_.entries.size();
  InsertEntries(gap_.leaf->page.entries, gap_.slot, gap_.entries);
  gap_.leaf->finger = gap_.slot + count;
  gap_.leaf = nullptr;
}

bool LeafShortcuts::InsertIntoHint(IndexEntry& entry, bool& new_key) {
  CachedIndexPage* cached = HintedLeaf(entry);
  if (!cached) return false;
  auto& entries = cached->page.entries;
  auto at = entries.begin() + GallopLowerBound(entries.size(), cached->finger, [&](size_t i) {
              return CompareEntries(entries[i], entry) < 0;
            });
  if (CompareEntries(*at, entry) == 0) return false;  // the slow path reports it
  // Strictly inside the leaf: both neighbours are on it.
  new_key = at[-1].key != entry.key && at->key != entry.key;
  return InsertInside(*cached, size_t(at - entries.begin()), entry);
}

bool LeafShortcuts::InsertInside(CachedIndexPage& cached, size_t slot, IndexEntry& entry) {
  IndexPage& leaf = cached.page;
  auto& entries = leaf.entries;
  if (!cached.figures) cached.figures = FiguresOf(leaf);
  LeafFigures grown = WithLeafEntry(*cached.figures, entry);
  if (!grown.stable_common) {
    cached.figures.reset();  // worked out anew below, the slow way
  } else if (!LeafFits(format_, grown, entries.size() + 1, leaf.next != 0)) {
    return false;  // the slow path splits it
  }
  entry.child = 0;
  IndexEntry* placed = InsertEntry(entries, slot, std::move(entry));
  if (!grown.stable_common && !IndexPageFits(format_, leaf)) {
    entry = std::move(*placed);  // give it back for the slow path
    entries.erase(entries.begin() + (placed - entries.data()));
    return false;
  }
  if (grown.stable_common) cached.figures = grown;
  cached.dirty = true;
  cached.finger = slot + 1;
  return true;
}

bool LeafShortcuts::AppendToRightmost(IndexEntry& entry, bool& new_key) {
  // Keys that only grow (counters, dates of new rows) go after the last
  // entry of the last leaf. That leaf is reached through the tail of every
  // node above it, and tails carry no key, so nothing above changes unless
  // the leaf has to split.
  if (rightmost_ == nullptr) return false;
  CachedIndexPage& cached = *rightmost_;
  IndexPage& leaf = cached.page;
  if (!leaf.leaf || leaf.next != 0 || leaf.entries.empty()) return false;
  if (CompareEntries(leaf.entries.back(), entry) >= 0) return false;
  if (!cached.figures) cached.figures = FiguresOf(leaf);
  LeafFigures grown = WithLeafEntry(*cached.figures, entry);
  grown.stable_common.reset();  // the last entry changes
  if (!LeafFits(format_, grown, leaf.entries.size() + 1, false)) return false;
  new_key = leaf.entries.back().key != entry.key;
  entry.child = 0;
  leaf.entries.push_back(std::move(entry));
  cached.figures = grown;
  cached.dirty = true;
  cached.used = ++clock_;
  return true;
}

}  // namespace act::db::jet
