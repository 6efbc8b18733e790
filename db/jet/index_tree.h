// Changing one index B-tree: inserting and removing leaf entries with the
// page splits, merges of empty pages, sibling links and node keys that keep
// the tree in the shape Jet reads (FORMAT: every node entry is a copy of
// its child's last entry; the last child of a node is reached only through
// the tail field; leaves and nodes of a level are doubly linked).
//
// Split policy: an entry appended past the end of the last page of a level
// starts a new page and leaves the full one packed (rows written in key
// order, the common case, then give the packed layout of a bulk build);
// anywhere else the page is cut in two halves by bytes. The new page always
// takes the LOWER part and is linked in before the old one, so the parent's
// entry for the old page (or its tail field) stays valid.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/jet/index_page.h"
#include "db/jet/index_page_writer.h"
#include "db/jet/pager.h"

namespace act::db::jet {

// Where new index pages come from and where emptied ones go (the page
// allocator, which also keeps the index's usage map).
struct IndexPageSource {
  std::function<uint32_t()> allocate;
  std::function<void(uint32_t)> release;
};

// Orders leaf entries: key bytes, then row position.
int CompareEntries(const IndexEntry& a, const IndexEntry& b);

class IndexTree {
 public:
  // Decoded pages kept between changes; past this many, the least recently
  // used are written to the pager and forgotten, so a statement of any size
  // holds a bounded amount of memory.
  static constexpr size_t kDefaultCachedPages = 256;
  // A tree starts by keeping this many, and keeps up to the maximum only
  // once it reads back pages as fast as it drops them (see Trim).
  static constexpr size_t kStartCachedPages = 64;

  IndexTree(Pager& pager, const Format& format, uint32_t owner, uint32_t root,
            IndexPageSource pages, size_t max_cached_pages = kDefaultCachedPages);

  // Adds a leaf entry. Returns true when no other entry had the same key
  // (the TDEF's distinct-key counter counts these). Fails with 3049 when
  // the entry is already there.
  bool Insert(IndexEntry entry);
  // Adds leaf entries given in index order (CompareEntries), a leaf at a
  // time: each leaf takes all the entries that fall on it and is cut into
  // pages filled as far as they go, so it is read and written once however
  // many entries it takes. Returns how many of them brought a key the index
  // did not hold, counted as Insert would one by one. Fails like Insert
  // when an entry is already there. The entries are moved from.
  size_t InsertSorted(std::vector<IndexEntry>& entries);
  // Removes a leaf entry; false when the index does not hold it.
  bool Remove(const IndexEntry& entry);
  // Rows whose key equals `key`, in index order, the changes not yet
  // written included.
  std::vector<RowPointer> Find(const KeyBytes& key);

  // Hands every changed page to the pager. Changes stay in this object
  // until then: call it before the pager flushes and before anything else
  // reads the index's pages.
  void WriteChanges();

  // The root after the changes (a root split or collapse moves it).
  uint32_t root() const { return root_; }

 private:
  struct Cached {
    IndexPage page;
    bool dirty = false;
    // Kept while only inserts strictly inside the leaf change it (they
    // change neither its first nor its last entry); cleared by any other
    // change.
    std::optional<LeafFigures> figures;
    uint64_t used = 0;
    // Just past the last entry inserted or looked up: where a search of
    // this leaf starts (any value is safe, a good one saves comparisons).
    size_t finger = 0;
  };
  // Steps point into the cache, which keeps every page of an operation
  // until the operation is over (std::unordered_map nodes do not move).
  struct Step {
    IndexPage* page = nullptr;
    size_t slot = 0;  // node: entry followed (entries.size() = the tail)
    Cached* cached = nullptr;
  };
  using Path = std::vector<Step>;

  Cached& LoadCached(uint32_t number);
  IndexPage& Load(uint32_t number);
  Step StepTo(uint32_t number, size_t slot);
  IndexPage& Create(uint32_t number);
  Path Descend(const IndexEntry& target);
  Cached* HintedLeaf(const IndexEntry& target);
  // Inserts where the last Find left off, when it looked up this key and
  // the leaf still fits; otherwise leaves `entry` as it was.
  bool InsertAtProbe(IndexEntry& entry, bool& new_key);
  // Inserts into the hinted leaf when the entry falls strictly inside it
  // and the leaf still fits; otherwise leaves `entry` as it was.
  bool InsertIntoHint(IndexEntry& entry, bool& new_key);
  // Inserts at `slot`, strictly inside the leaf, when the leaf still fits.
  bool InsertInside(Cached& cached, size_t slot, IndexEntry& entry);
  // Appends after the last entry of the last leaf when the entry belongs
  // there and the leaf still fits; otherwise leaves `entry` as it was.
  bool AppendToRightmost(IndexEntry& entry, bool& new_key);
  // Returns whether an ancestor's entry got a longer key.
  bool PropagateLast(Path& path, size_t level, const IndexEntry& last);
  void Remember(Cached* leaf);
  void Forget(const Cached* page);
  // `packed`: fill each page as far as it goes (see Partition).
  void Split(Path& path, size_t level, bool appended, bool packed = false);
  void SplitOverfull(Path& path, bool leaf_grew_at_end, bool ancestors_changed,
                     bool pack_leaf = false);
  void Unlink(Path& path, size_t level);
  void Relink(uint32_t number, std::optional<uint32_t> prev, std::optional<uint32_t> next);
  // Ends an operation: marks its pages changed, gives back released pages,
  // re-splits leaves that lost their prefix compression, trims the cache.
  void Settle(const Path& path);
  void Write(uint32_t number, Cached& cached);
  void Trim();
  [[noreturn]] void Fail(uint32_t page, const std::string& what);

  Pager& pager_;
  const Format& format_;
  uint32_t owner_;
  uint32_t root_;
  IndexPageSource pages_;
  size_t max_cached_;
  size_t cached_limit_;           // pages kept now, up to max_cached_
  size_t reads_since_trim_ = 0;   // pages read from the pager since the last Trim
  uint64_t clock_ = 0;
  std::unordered_map<uint32_t, Cached> cache_;
  // Pages allocated since they were last handed to the pager: nothing in
  // the file points at them yet, so they are written before the pages that
  // will.
  std::unordered_set<uint32_t> fresh_;
  std::vector<uint32_t> released_;
  std::vector<uint32_t> relinked_;
  // Leaves of recent inserts and lookups, most recent first; cache nodes
  // do not move, and Forget() takes a page out before the cache drops it.
  std::array<Cached*, 8> hints_{};
  // The last leaf, when a descent found it through the tails of all the
  // nodes above (splits keep it so: the lower part moves to a new page).
  Cached* rightmost_ = nullptr;
  // Where the last Find left off when it found no entry of its key strictly
  // inside a recent leaf: a unique index looks a row's key up just before
  // inserting it, and the insert then starts there. Any change clears it.
  struct Probe {
    Cached* leaf = nullptr;
    size_t slot = 0;
    bool in_gap = false;  // the key's place is among the gap's entries, at gap_at
    size_t gap_at = 0;
    KeyBytes key;
  } probe_;
  // Entries that go one after another into the same gap of a leaf (between
  // two of its entries: the run of keys that numbered titles or an
  // artist's albums make) wait here and go into the leaf together, with one
  // move of the entries after them rather than one per entry. The leaf's
  // figures count them. Every operation but a lookup or an insert in that
  // same gap puts them in first (PutGap), so nothing else sees the leaf
  // without them.
  struct Gap {
    Cached* leaf = nullptr;
    size_t slot = 0;                  // strictly inside the leaf
    std::vector<IndexEntry> entries;  // in index order
  } gap_;
  static constexpr size_t kGapEntries = 32;
  bool AddToGap(size_t at, IndexEntry& entry);
  bool InGap(const KeyBytes& key) const;
  void PutGap();
};

}  // namespace act::db::jet
