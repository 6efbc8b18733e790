// The ways an IndexTree's inserts and lookups skip the descent from the
// root, apart from the tree's structural operations (descent, splits,
// unlinking, writing). They work on leaves the tree keeps decoded, and
// each takes a leaf only where a descent would have led, and only while the
// change stays inside it: anything more is left to the tree.
//
// - Recent leaves (the hints): a target strictly between two entries of a
//   leaf used lately belongs on that leaf.
// - The rightmost leaf: keys that only grow go after its last entry.
// - The probe: a unique index looks a row's key up just before inserting
//   it, and the insert then starts where that lookup stopped.
// - The gap: entries that go one after another between the same two
//   entries of a leaf (the run of keys that numbered titles or an artist's
//   albums make) wait beside it and go in together, with one move of the
//   entries after them rather than one per entry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "db/jet/index/index_page.h"
#include "db/jet/index/index_page_writer.h"

namespace act::db::jet {

// A decoded index page as the tree keeps it between changes.
struct CachedIndexPage {
  IndexPage page;
  bool dirty = false;
  // Kept while only inserts strictly inside the leaf change it (they
  // change neither its first nor its last entry); cleared by any other
  // change.
  std::optional<LeafFigures> figures;
  uint64_t used = 0;  // the tree's use counter when it was last used
  // Just past the last entry inserted or looked up: where a search of
  // this leaf starts (any value is safe, a good one saves comparisons).
  size_t finger = 0;
};

class LeafShortcuts {
 public:
  // Reads a page through the tree's cache.
  using LoadPage = std::function<const IndexPage&(uint32_t number)>;

  // `clock` is the tree's use counter, stepped for each leaf used here.
  LeafShortcuts(const Format& format, uint64_t& clock, LoadPage load);

  // Inserts a leaf entry that a shortcut places, when its leaf still fits,
  // and sets `new_key` as IndexTree::Insert counts keys. Otherwise leaves
  // `entry` as it was, nothing waiting in a gap, for a descent.
  bool Insert(IndexEntry& entry, bool& new_key);
  // Adds to `rows` the rows of `key` when the recent leaves (and the
  // entries waiting in a gap) answer the lookup alone; false, nothing
  // waiting in a gap, when a descent must.
  bool Find(const KeyBytes& key, std::vector<RowPointer>& rows);

  // The leaf a descent reached: the most recent hint.
  void Remember(CachedIndexPage* leaf);
  // The last leaf, when a descent found it through the tails of all the
  // nodes above (splits keep it so: the lower part moves to a new page).
  void FoundRightmost(CachedIndexPage* leaf) { rightmost_ = leaf; }
  // A page the tree drops from its cache or releases.
  void Forget(const CachedIndexPage* page);
  // Puts the entries waiting in a gap into their leaf. Every operation but
  // a lookup or an insert in that same gap does so first, so that nothing
  // else sees the leaf without them; the leaf's figures already count them.
  void PutGap();
  void PutGapOf(const CachedIndexPage* leaf) {
    if (gap_.leaf == leaf) PutGap();
  }
  // Before a change the shortcuts do not follow.
  void DropProbe() { probe_.leaf = nullptr; }
  void DropRightmost() { rightmost_ = nullptr; }

 private:
  CachedIndexPage* HintedLeaf(const IndexEntry& target);
  // Inserts where the last Find left off, when it looked up this key and
  // the leaf still fits; otherwise leaves `entry` as it was.
  bool InsertAtProbe(IndexEntry& entry, bool& new_key);
  // Inserts into the hinted leaf when the entry falls strictly inside it
  // and the leaf still fits; otherwise leaves `entry` as it was.
  bool InsertIntoHint(IndexEntry& entry, bool& new_key);
  // Inserts at `slot`, strictly inside the leaf, when the leaf still fits.
  bool InsertInside(CachedIndexPage& cached, size_t slot, IndexEntry& entry);
  // Appends after the last entry of the last leaf when the entry belongs
  // there and the leaf still fits; otherwise leaves `entry` as it was.
  bool AppendToRightmost(IndexEntry& entry, bool& new_key);
  bool AddToGap(size_t at, IndexEntry& entry);
  bool InGap(const KeyBytes& key) const;
  void FindInGap(const KeyBytes& key, std::vector<RowPointer>& rows);

  const Format& format_;
  uint64_t& clock_;
  LoadPage load_;
  // Leaves of recent inserts and lookups, most recent first; the tree's
  // cache does not move its pages, and Forget() takes a page out before
  // the cache drops it.
  std::array<CachedIndexPage*, 8> hints_{};
  CachedIndexPage* rightmost_ = nullptr;
  // Where the last Find left off when it found no entry of its key strictly
  // inside a recent leaf. Any change clears it.
  struct Probe {
    CachedIndexPage* leaf = nullptr;
    size_t slot = 0;
    bool in_gap = false;  // the key's place is among the gap's entries, at gap_at
    size_t gap_at = 0;
    KeyBytes key;
  } probe_;
  struct Gap {
    CachedIndexPage* leaf = nullptr;
    size_t slot = 0;                  // strictly inside the leaf
    std::vector<IndexEntry> entries;  // in index order
  } gap_;
  static constexpr size_t kGapEntries = 32;
};

}  // namespace act::db::jet
