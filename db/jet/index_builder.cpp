#include "db/jet/index_builder.h"

#include "db/jet/index_page_writer.h"
#include "db/jet/write_order.h"

namespace act::db::jet {

namespace {

// Cuts one level's entries into pages. Leaves: every page but the last is
// compressed (it has a next page); the last must fit without. Nodes: a
// child whose entry no longer fits becomes the page's tail.
std::vector<IndexPage> PackLevel(const Format& f, const std::vector<IndexEntry>& entries,
                                 bool leaf) {
  std::vector<IndexPage> pages;
  IndexPage current;
  current.leaf = leaf;
  current.next = 1;  // "has a next page" while packing: compressed
  for (size_t i = 0; i < entries.size(); ++i) {
    current.entries.push_back(entries[i]);
    if (IndexPageFits(f, current)) continue;
    current.entries.pop_back();
    if (leaf) {
      pages.push_back(std::move(current));
      current = IndexPage{};
      current.leaf = true;
      current.next = 1;
      current.entries.push_back(entries[i]);
    } else {
      // This child closes the page as its tail.
      current.tail = entries[i].child;
      pages.push_back(std::move(current));
      current = IndexPage{};
      current.leaf = false;
      current.next = 1;
    }
  }
  if (!leaf && !current.entries.empty()) {
    current.tail = current.entries.back().child;
    current.entries.pop_back();
  }
  if (!current.entries.empty() || current.tail != 0 || pages.empty()) {
    pages.push_back(std::move(current));
  }
  // The last leaf carries no prefix; if it then overflows, its first
  // entries go to a page of their own before it.
  if (leaf) {
    IndexPage& last = pages.back();
    last.next = 0;
    while (!IndexPageFits(f, last)) {
      IndexPage before;
      before.leaf = true;
      before.next = 1;
      size_t take = 0;
      while (take < last.entries.size()) {
        before.entries.push_back(last.entries[take]);
        if (!IndexPageFits(f, before) || take + 1 == last.entries.size()) {
          before.entries.pop_back();
          break;
        }
        ++take;
      }
      last.entries.erase(last.entries.begin(), last.entries.begin() + take);
      pages.insert(pages.end() - 1, std::move(before));
    }
  }
  return pages;
}

}  // namespace

uint32_t BuildIndexTree(Pager& pager, const Format& format, uint32_t owner,
                        const std::vector<IndexEntry>& sorted, IndexPageSource& source) {
  // Shape first, page numbers after. Node entries copy the last entry of
  // their child's subtree; children are named by position until numbered.
  std::vector<std::vector<IndexPage>> levels;
  std::vector<std::vector<IndexEntry>> last_of;
  levels.push_back(PackLevel(format, sorted, true));
  last_of.emplace_back();
  for (const IndexPage& page : levels[0]) {
    last_of[0].push_back(page.entries.empty() ? IndexEntry{} : page.entries.back());
  }
  while (levels.back().size() > 1) {
    std::vector<IndexEntry> up = last_of.back();
    for (size_t i = 0; i < up.size(); ++i) up[i].child = uint32_t(i);
    std::vector<IndexPage> nodes = PackLevel(format, up, false);
    std::vector<IndexEntry> last;
    for (const IndexPage& node : nodes) last.push_back(last_of.back()[node.tail]);
    levels.push_back(std::move(nodes));
    last_of.push_back(std::move(last));
  }
  // Page numbers: the root first, then each level below, left to right.
  for (size_t l = levels.size(); l-- > 0;) {
    for (IndexPage& page : levels[l]) page.number = source.allocate();
  }
  for (size_t l = 0; l < levels.size(); ++l) {
    auto& level = levels[l];
    for (size_t i = 0; i < level.size(); ++i) {
      IndexPage& page = level[i];
      page.prev = i > 0 ? level[i - 1].number : 0;
      page.next = i + 1 < level.size() ? level[i + 1].number : 0;
      if (page.leaf) continue;
      for (IndexEntry& e : page.entries) e.child = levels[l - 1][e.child].number;
      page.tail = levels[l - 1][page.tail].number;
    }
  }
  for (const auto& level : levels) {
    for (const IndexPage& page : level) {
      pager.Write(page.number, EncodeIndexPage(format, owner, page, pager.path()), kWriteIndexes);
    }
  }
  return levels.back().front().number;
}

}  // namespace act::db::jet
