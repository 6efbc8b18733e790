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
//
// Inserts and lookups that need no descent from the root are left to
// LeafShortcuts (leaf_shortcuts.h), which works on the pages kept here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/jet/index/index_page.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/index/leaf_shortcuts.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

// Where new index pages come from and where emptied ones go (the page
// allocator, which also keeps the index's usage map).
struct IndexPageSource {
  std::function<uint32_t()> allocate;
  std::function<void(uint32_t)> release;
};

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
  // The shortcuts hold pointers into the cache and a way back to it.
  IndexTree(const IndexTree&) = delete;
  IndexTree& operator=(const IndexTree&) = delete;

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
  using Cached = CachedIndexPage;
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
  // Returns whether an ancestor's entry got a longer key.
  bool PropagateLast(Path& path, size_t level, const IndexEntry& last);
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
  // Inserts and lookups that need no descent (leaf_shortcuts.h).
  LeafShortcuts shortcuts_;
};

}  // namespace act::db::jet
