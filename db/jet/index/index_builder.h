// Building a whole index tree at once over sorted entries, as Access does
// when an index is created over existing rows: leaves filled left to right
// as far as they go with prefix compression, the last leaf uncompressed
// with what remains, then node levels the same way (each node's last child
// in its tail field) until one page, the root, is left.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "db/jet/index/index_page.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

// The tree over entries that come one at a time in index order, holding
// only the pages being filled and the page before each (whose next page is
// not known until it is numbered): the memory does not grow with the tree.
class IndexTreeBuilder {
 public:
  // `number` names a page of a level (0: the leaves) when something first
  // needs its number (a sibling's link or its parent's entry), so the pages
  // of a level are numbered left to right; `write` takes each page once it
  // is complete, after its children.
  using NumberPage = std::function<uint32_t(size_t level)>;
  using WritePage = std::function<void(const IndexPage& page, size_t level)>;
  IndexTreeBuilder(const Format& format, NumberPage number, WritePage write);

  // Entries in index order (CompareEntries), each after the one before.
  void Add(IndexEntry entry);
  // Writes what is left and returns the root's number: `root` when given,
  // otherwise one `number` gives.
  uint32_t Finish(std::optional<uint32_t> root = std::nullopt);

  // Entries added whose key differs from the one before (the TDEF's
  // distinct-key counter).
  uint64_t distinct_keys() const { return distinct_keys_; }

 private:
  // What the fit of the leaf being filled follows from, as a leaf with a
  // next page (compressed): see PrefixLengthFor.
  struct LeafFill {
    size_t whole = 0;
    size_t shortest = SIZE_MAX;
    size_t common = 0;  // of every whole entry with the first (two or more entries)
  };
  struct Level {
    IndexPage open;  // being filled
    LeafFill fill;   // leaves only
    size_t node_bytes = 0;  // nodes only: the open page's entries stored whole
    // The page closed last: complete but for its next page.
    std::optional<IndexPage> closed;
    IndexEntry closed_last;  // what its parent's entry copies
    size_t pages = 0;        // pages closed in this level
  };
  bool LeafTakes(const Level& level, const IndexEntry& entry, LeafFill& grown) const;
  void AddToLevel(size_t level, IndexEntry entry);
  // Closes `page`, the next of its level, whose parent entry copies `last`.
  void Close(size_t level, IndexPage page, const IndexEntry& last);
  // Ends the leaf level: its open page is the last leaf and stores its
  // entries whole, so it may need pages of its own for its first entries.
  void FinishLeaves();

  const Format& format_;
  NumberPage number_;
  WritePage write_;
  std::deque<Level> levels_;  // its elements stay put as levels are added
  uint64_t distinct_keys_ = 0;
};

// Writes the tree over `sorted` (leaf entries in key, then row order) into
// pages taken from `pages`, in the order Access takes them (the root first,
// then each level left to right); returns the root. An empty list gives an
// empty root leaf.
uint32_t BuildIndexTree(Pager& pager, const Format& format, uint32_t owner,
                        const std::vector<IndexEntry>& sorted, IndexPageSource& pages);

}  // namespace act::db::jet
