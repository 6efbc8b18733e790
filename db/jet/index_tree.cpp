#include "db/jet/index_tree.h"

#include <algorithm>
#include <optional>

#include "db/errors.h"
#include "db/jet/index_page_writer.h"
#include "db/jet/write_order.h"

namespace act::db::jet {

namespace {

constexpr size_t kMaxDepth = 16;

// Cuts `entries` into pieces that each fit a page. `appended`: keep all but
// the last entry together (sequential inserts leave packed pages behind);
// otherwise two halves by bytes; pieces are re-cut greedily if a half
// still does not fit (very long keys).
std::vector<std::vector<IndexEntry>> Partition(const Format& f, const IndexPage& page,
                                               bool appended) {
  auto fits = [&](const std::vector<IndexEntry>& entries, bool last_piece) {
    IndexPage trial;
    trial.leaf = page.leaf;
    trial.next = last_piece ? page.next : 1;
    trial.entries = entries;
    if (!page.leaf && !last_piece) trial.entries.pop_back();  // becomes the tail
    return IndexPageFits(f, trial);
  };
  const auto& all = page.entries;
  std::vector<std::vector<IndexEntry>> pieces;
  if (appended && all.size() >= 2) {
    pieces.emplace_back(all.begin(), all.end() - 1);
    pieces.emplace_back(all.end() - 1, all.end());
  } else {
    size_t total = 0;
    for (const IndexEntry& e : all) total += e.key.size();
    size_t half = 0, cut = 0;
    while (cut + 1 < all.size() && (half + all[cut].key.size()) * 2 <= total) {
      half += all[cut].key.size();
      ++cut;
    }
    cut = std::max<size_t>(cut, 1);
    pieces.emplace_back(all.begin(), all.begin() + cut);
    pieces.emplace_back(all.begin() + cut, all.end());
  }
  if (fits(pieces[0], false) && fits(pieces[1], true)) return pieces;
  // Greedy: fill each page as far as it goes.
  pieces.clear();
  std::vector<IndexEntry> current;
  for (size_t i = 0; i < all.size(); ++i) {
    current.push_back(all[i]);
    if (current.size() > 1 && !fits(current, false)) {
      current.pop_back();
      pieces.push_back(std::move(current));
      current = {all[i]};
    }
  }
  pieces.push_back(std::move(current));
  return pieces;
}

}  // namespace

int CompareEntries(const IndexEntry& a, const IndexEntry& b) {
  int c = CompareKeys(a.key, b.key);
  if (c != 0) return c;
  return a.row < b.row ? -1 : b.row < a.row ? 1 : 0;
}

IndexTree::IndexTree(Pager& pager, const Format& format, uint32_t owner, uint32_t root,
                     IndexPageSource pages)
    : pager_(pager), format_(format), owner_(owner), root_(root), pages_(std::move(pages)) {}

void IndexTree::Fail(uint32_t page, const std::string& what) {
  throw PageFailure(pager_.path(), page, what);
}

IndexPage IndexTree::Read(uint32_t number) {
  auto it = pending_.find(number);
  if (it != pending_.end()) return it->second;
  return ReadIndexPage(pager_, format_, number, owner_);
}

IndexTree::Path IndexTree::Descend(const IndexEntry& target) {
  Path path;
  uint32_t number = root_;
  for (;;) {
    if (path.size() > kMaxDepth) Fail(number, "index tree deeper than any Jet builds");
    Step step{Read(number), 0};
    if (step.page.leaf) {
      path.push_back(std::move(step));
      return path;
    }
    const auto& entries = step.page.entries;
    size_t slot = 0;
    while (slot < entries.size() && CompareEntries(entries[slot], target) < 0) ++slot;
    // Past every entry: the tail child; a node without a tail (one child
    // with an entry) sends it to its last entry.
    if (slot == entries.size() && step.page.tail == 0) {
      if (entries.empty()) Fail(number, "index node page without children");
      slot = entries.size() - 1;
    }
    step.slot = slot;
    number = slot < entries.size() ? entries[slot].child : step.page.tail;
    path.push_back(std::move(step));
  }
}

void IndexTree::PropagateLast(Path& path, size_t level, const IndexEntry& last) {
  // A node entry copies its child's last entry; a change of the last entry
  // of a tail child changes the parent's own last entry, and so on up.
  for (size_t l = level; l > 0; --l) {
    Step& parent = path[l - 1];
    auto& entries = parent.page.entries;
    if (parent.slot < entries.size()) {
      entries[parent.slot].key = last.key;
      entries[parent.slot].row = last.row;
      bool is_last_child = parent.slot + 1 == entries.size() && parent.page.tail == 0;
      if (!is_last_child) return;
    }
  }
}

void IndexTree::Relink(uint32_t number, std::optional<uint32_t> prev,
                       std::optional<uint32_t> next) {
  if (number == 0) return;
  IndexPage page = Read(number);
  if (prev) page.prev = *prev;
  if (next) page.next = *next;
  pending_[number] = std::move(page);
}

void IndexTree::Split(Path& path, size_t level, bool appended) {
  IndexPage& old = path[level].page;
  auto pieces = Partition(format_, old, appended);
  // New pages for every piece but the last, which stays on the old page.
  std::vector<uint32_t> numbers;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) numbers.push_back(pages_.allocate());
  std::vector<IndexEntry> parent_entries;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    IndexPage page;
    page.number = numbers[i];
    page.leaf = old.leaf;
    page.prev = i == 0 ? old.prev : numbers[i - 1];
    page.next = i + 2 < pieces.size() ? numbers[i + 1] : old.number;
    page.entries = std::move(pieces[i]);
    IndexEntry up = page.entries.back();
    up.child = page.number;
    if (!page.leaf) {
      page.tail = page.entries.back().child;
      page.entries.pop_back();
    }
    parent_entries.push_back(std::move(up));
    pending_[page.number] = std::move(page);
  }
  if (old.prev != 0) Relink(old.prev, std::nullopt, numbers.front());
  old.prev = numbers.back();
  old.entries = std::move(pieces.back());

  if (level == 0) {
    // The root split: a new root above, with the old root as its tail.
    Step root;
    root.page.number = pages_.allocate();
    root.page.leaf = false;
    root.page.tail = old.number;
    root.page.entries = std::move(parent_entries);
    root.slot = root.page.entries.size();
    root_ = root.page.number;
    path.insert(path.begin(), std::move(root));
    return;
  }
  Step& parent = path[level - 1];
  parent.page.entries.insert(parent.page.entries.begin() + parent.slot, parent_entries.begin(),
                             parent_entries.end());
  parent.slot += parent_entries.size();
}

void IndexTree::SplitOverfull(Path& path, bool leaf_grew_at_end) {
  // Split upwards while a page overflows. A page that grew at its end and
  // is the last of its level was appended to: it keeps its packed entries.
  for (size_t level = path.size(); level-- > 0;) {
    const Step& s = path[level];
    if (IndexPageFits(format_, s.page)) continue;
    bool grew_at_end = s.page.leaf ? leaf_grew_at_end : s.slot == s.page.entries.size();
    size_t depth = path.size();
    Split(path, level, grew_at_end && s.page.next == 0);
    if (path.size() != depth) break;  // a new root was put on top
  }
}

bool IndexTree::Insert(const IndexEntry& entry) {
  Path path = Descend(entry);
  IndexPage& leaf = path.back().page;
  auto& entries = leaf.entries;
  auto at = std::lower_bound(entries.begin(), entries.end(), entry,
                             [](const IndexEntry& a, const IndexEntry& b) {
                               return CompareEntries(a, b) < 0;
                             });
  if (at != entries.end() && CompareEntries(*at, entry) == 0) {
    Fail(leaf.number, "index already holds row " + std::to_string(entry.row.page) + ":" +
                          std::to_string(entry.row.row));
  }
  size_t pos = size_t(at - entries.begin());
  // A new distinct key differs from both neighbours, which may sit on the
  // neighbouring leaves.
  std::optional<KeyBytes> before, after;
  if (pos > 0) {
    before = entries[pos - 1].key;
  } else if (leaf.prev != 0) {
    IndexPage prev = Read(leaf.prev);
    if (!prev.entries.empty()) before = prev.entries.back().key;
  }
  if (pos < entries.size()) {
    after = entries[pos].key;
  } else if (leaf.next != 0) {
    IndexPage next = Read(leaf.next);
    if (!next.entries.empty()) after = next.entries.front().key;
  }
  bool new_key = (!before || *before != entry.key) && (!after || *after != entry.key);

  IndexEntry stored{entry.key, entry.row, 0};
  entries.insert(at, stored);
  const bool at_end = pos + 1 == entries.size();
  if (at_end) PropagateLast(path, path.size() - 1, stored);

  SplitOverfull(path, at_end);
  Flush(path);
  return new_key;
}

void IndexTree::Unlink(Path& path, size_t level) {
  // Takes the empty page at `level` out of its level and its parent.
  IndexPage& page = path[level].page;
  if (page.prev != 0) Relink(page.prev, std::nullopt, page.next);
  if (page.next != 0) Relink(page.next, page.prev, std::nullopt);
  released_.push_back(page.number);
  Step& parent = path[level - 1];
  auto& entries = parent.page.entries;
  if (parent.slot < entries.size()) {
    bool was_last = parent.slot + 1 == entries.size() && parent.page.tail == 0;
    entries.erase(entries.begin() + parent.slot);
    if (was_last && !entries.empty()) PropagateLast(path, level - 1, entries.back());
  } else if (!entries.empty()) {
    // The tail went: the last entry's child becomes the tail, and the
    // parent's last key is now that child's.
    IndexEntry last = entries.back();
    parent.page.tail = last.child;
    entries.pop_back();
    parent.slot = entries.size();
    PropagateLast(path, level - 1, last);
  } else {
    parent.page.tail = 0;
  }
  path.erase(path.begin() + level, path.end());
  if (entries.empty() && parent.page.tail == 0) {
    if (level - 1 > 0) {
      Unlink(path, level - 1);
    } else {
      parent.page.leaf = true;  // the whole tree emptied: an empty root leaf
    }
  }
}

bool IndexTree::Remove(const IndexEntry& entry) {
  Path path = Descend(entry);
  IndexPage& leaf = path.back().page;
  auto& entries = leaf.entries;
  auto at = std::find_if(entries.begin(), entries.end(), [&](const IndexEntry& e) {
    return CompareEntries(e, entry) == 0;
  });
  if (at == entries.end()) return false;
  const bool was_last = at + 1 == entries.end();
  entries.erase(at);
  if (entries.empty() && path.size() > 1) {
    Unlink(path, path.size() - 1);
  } else if (was_last && !entries.empty()) {
    PropagateLast(path, path.size() - 1, entries.back());
  }
  // A node entry may have taken a longer key from its child.
  SplitOverfull(path, false);
  // A root left with a single child through its tail hands the root over.
  while (!path.empty() && !path.front().page.leaf && path.front().page.entries.empty() &&
         path.front().page.tail != 0) {
    released_.push_back(path.front().page.number);
    root_ = path.front().page.tail;
    path.erase(path.begin());
    if (path.empty()) {
      IndexPage child = Read(root_);
      path.push_back({child, 0});
    }
  }
  Flush(path);
  return true;
}

void IndexTree::Flush(const Path& path) {
  // New and sibling pages first, then the path from the leaf up, so that a
  // page is written before anything refers to it.
  for (const Step& s : path) pending_.erase(s.page.number);
  for (uint32_t number : released_) pending_.erase(number);
  std::vector<uint32_t> overfull;
  for (auto& [number, page] : pending_) {
    if (!IndexPageFits(format_, page)) {
      overfull.push_back(number);
      continue;
    }
    pager_.Write(number, EncodeIndexPage(format_, owner_, page, pager_.path()), kWriteIndexes);
  }
  for (size_t i = path.size(); i-- > 0;) {
    const IndexPage& page = path[i].page;
    if (std::find(released_.begin(), released_.end(), page.number) != released_.end()) continue;
    pager_.Write(page.number, EncodeIndexPage(format_, owner_, page, pager_.path()), kWriteIndexes);
  }
  for (uint32_t number : released_) pages_.release(number);
  released_.clear();
  std::erase_if(pending_, [&](const auto& item) {
    return std::find(overfull.begin(), overfull.end(), item.first) == overfull.end();
  });
  // A leaf that became the last of its level loses its prefix compression
  // and may no longer fit: split it like a page that grew.
  for (uint32_t number : overfull) {
    IndexPage page = Read(number);
    Path to = Descend(page.entries.back());
    if (to.back().page.number != number) Fail(number, "leaf not reached from the root");
    SplitOverfull(to, false);
    pending_.erase(number);
    Flush(to);
  }
}

}  // namespace act::db::jet
