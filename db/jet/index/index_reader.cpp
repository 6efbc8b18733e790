#include "db/jet/index/index_reader.h"

#include <algorithm>

namespace act::db::jet {

namespace {
// Jet 3 trees of a few thousand rows have two levels; anything past this is
// a loop or a damaged page.
constexpr int kMaxDepth = 16;
}  // namespace

IndexReader::IndexReader(Pager& pager, const Format& format, const TableDefinition& table,
                         const RealIndex& index)
    : pager_(pager), format_(format), table_(table), index_(index) {}

void IndexReader::Walk(const std::function<void(const IndexEntry&)>& visit) {
  std::set<uint32_t> seen;
  uint32_t last_leaf = 0;
  WalkPage(index_.root, 0, seen, visit, last_leaf);
}

void IndexReader::WalkPage(uint32_t number, int depth, std::set<uint32_t>& seen,
                           const std::function<void(const IndexEntry&)>& visit,
                           uint32_t& last_leaf) {
  if (depth > kMaxDepth) {
    throw PageFailure(pager_.path(), number, "index tree deeper than " + std::to_string(kMaxDepth));
  }
  if (!seen.insert(number).second) {
    throw PageFailure(pager_.path(), number, "index page reached twice: the tree has a loop");
  }
  IndexPage page = Read(number);
  if (page.leaf) {
    // Leaves of one level are chained in order; a walk that disagrees with
    // the chain means the tree and the list were damaged.
    if (page.prev != last_leaf) {
      throw PageFailure(pager_.path(), number,
                        "leaf links back to page " + std::to_string(page.prev) + ", expected " +
                            std::to_string(last_leaf));
    }
    last_leaf = number;
    for (const IndexEntry& entry : page.entries) visit(entry);
    return;
  }
  for (const IndexEntry& entry : page.entries) {
    WalkPage(entry.child, depth + 1, seen, visit, last_leaf);
  }
  if (page.tail != 0) WalkPage(page.tail, depth + 1, seen, visit, last_leaf);
}

const IndexPage& IndexReader::Decoded(uint32_t number) {
  auto kept = decoded_.find(number);
  if (kept != decoded_.end()) return kept->second;
  if (decoded_.size() >= kKeptPages) decoded_.clear();
  return decoded_.emplace(number, Read(number)).first->second;
}

std::vector<RowPointer> IndexReader::Find(const KeyBytes& key) {
  std::vector<RowPointer> rows;
  Find(key, rows);
  return rows;
}

void IndexReader::Find(const KeyBytes& key, std::vector<RowPointer>& rows) {
  rows.clear();
  auto below = [](const IndexEntry& entry, const KeyBytes& k) { return CompareKeys(entry.key, k) < 0; };
  uint32_t number = index_.root;
  std::set<uint32_t> seen;
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth || !seen.insert(number).second) {
      throw PageFailure(pager_.path(), number, "index lookup does not reach a leaf");
    }
    const IndexPage& page = Decoded(number);
    if (page.leaf) break;
    // Node entries carry their child's last key: the first one not below
    // the key leads to the first match; past them all, the tail child.
    auto at = std::lower_bound(page.entries.begin(), page.entries.end(), key, below);
    const uint32_t child = at == page.entries.end() ? page.tail : at->child;
    if (child == 0) return;
    number = child;
  }
  // Matches may continue on the following leaves.
  while (number != 0) {
    const IndexPage& page = Decoded(number);
    if (!page.leaf) throw PageFailure(pager_.path(), number, "leaf chain reaches a node page");
    for (auto at = std::lower_bound(page.entries.begin(), page.entries.end(), key, below);
         at != page.entries.end(); ++at) {
      if (CompareKeys(at->key, key) > 0) return;
      rows.push_back(at->row);
    }
    number = page.next;
    if (number != 0 && !seen.insert(number).second) {
      throw PageFailure(pager_.path(), number, "leaf chain has a loop");
    }
  }
}

}  // namespace act::db::jet
