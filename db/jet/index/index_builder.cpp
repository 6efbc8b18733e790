#include "db/jet/index/index_builder.h"

#include <algorithm>
#include <span>

#include "db/errors.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {


IndexTreeBuilder::IndexTreeBuilder(const Format& format, NumberPage number, WritePage write)
    : format_(format), number_(std::move(number)), write_(std::move(write)) {
  levels_.emplace_back();
}

bool IndexTreeBuilder::LeafTakes(const Level& level, const IndexEntry& entry,
                                 LeafFill& grown) const {
  // The rule of PrefixLengthFor, worked out as entries come: in index order
  // the entries share with the first no less than the last does, so the
  // page's prefix is the least any entry shares with the first.
  const auto& entries = level.open.entries;
  const size_t size = entry.key.size() + 4;
  grown.whole = level.fill.whole + size;
  grown.shortest = std::min(level.fill.shortest, size);
  if (entries.empty()) {
    grown.common = 0;
    return grown.whole <= EntrySpace(format_);
  }
  const size_t limit = entries.size() >= 2 ? level.fill.common : entries.front().key.size() + 4;
  grown.common = CommonLeafBytes(entries.front(), entry, limit);
  if (grown.whole <= EntrySpace(format_)) return true;
  const size_t prefix = std::min({grown.common, grown.shortest - 1, size_t(255)});
  return grown.whole - prefix * entries.size() <= EntrySpace(format_);
}

void IndexTreeBuilder::Add(IndexEntry entry) {
  const Level& leaves = levels_.front();
  const IndexEntry* before = !leaves.open.entries.empty() ? &leaves.open.entries.back()
                             : leaves.closed               ? &leaves.closed->entries.back()
                                                           : nullptr;
  if (!before || CompareKeys(before->key, entry.key) != 0) ++distinct_keys_;
  entry.child = 0;
  AddToLevel(0, std::move(entry));
}

void IndexTreeBuilder::AddToLevel(size_t l, IndexEntry entry) {
  if (l == levels_.size()) {
    levels_.emplace_back();
    levels_.back().open.leaf = false;
  }
  Level& level = levels_[l];
  if (l == 0) {
    LeafFill grown;
    if (!LeafTakes(level, entry, grown) && !level.open.entries.empty()) {
      const size_t held = level.open.entries.size();
      IndexPage page = std::move(level.open);
      level.open = IndexPage{};
      // The next leaf takes about as many entries.
      level.open.entries.reserve(held + held / 4);
      level.fill = LeafFill{};
      const IndexEntry last = page.entries.back();
      Close(0, std::move(page), last);
      LeafTakes(level, entry, grown);
    }
    level.fill = grown;
    level.open.entries.push_back(std::move(entry));
    return;
  }
  // Node pages are not compressed. A child whose entry no longer fits
  // closes the page as its tail.
  const size_t size = entry.key.size() + 8;
  if (level.node_bytes + size <= EntrySpace(format_)) {
    level.node_bytes += size;
    level.open.entries.push_back(std::move(entry));
    return;
  }
  IndexPage page = std::move(level.open);
  level.open = IndexPage{};
  level.open.leaf = false;
  level.node_bytes = 0;
  page.leaf = false;
  page.tail = entry.child;
  Close(l, std::move(page), entry);
}

void IndexTreeBuilder::Close(size_t l, IndexPage page, const IndexEntry& last) {
  Level& level = levels_[l];
  if (level.closed) {
    // The page before is complete now: it links to this one, and its
    // parent takes its entry.
    IndexPage& before = *level.closed;
    if (before.number == 0) before.number = number_(l);
    page.number = number_(l);
    page.prev = before.number;
    before.next = page.number;
    write_(before, l);
    IndexEntry up = level.closed_last;
    up.child = before.number;
    level.closed.reset();
    AddToLevel(l + 1, std::move(up));
  }
  // AddToLevel may have added a level: `level` still refers to this one
  // (a deque does not move its elements as it grows).
  level.closed = std::move(page);
  level.closed_last = last;
  level.closed_last.child = 0;
  ++level.pages;
}

void IndexTreeBuilder::FinishLeaves() {
  Level& level = levels_.front();
  // A last leaf that does not fit without a prefix gives its first entries,
  // as many as a compressed page holds, to a page of their own before it.
  IndexPage& last = level.open;
  while (!EntriesFit(format_, last.entries, true, false)) {
    size_t take = 0;
    while (take + 1 < last.entries.size() &&
           EntriesFit(format_, std::span(last.entries).first(take + 1), true, true)) {
      ++take;
    }
    if (take == 0) throw JetFailure(kJetDatabaseCorrupt, "an index entry fills no page alone");
    IndexPage before;
    MoveFrontEntries(last.entries, take, before.entries);
    const IndexEntry end = before.entries.back();
    Close(0, std::move(before), end);
  }
}

uint32_t IndexTreeBuilder::Finish(std::optional<uint32_t> root) {
  FinishLeaves();
  for (size_t l = 0;; ++l) {
    Level& level = levels_[l];
    // The open page is the level's last unless it is an empty node page
    // left by the close before it; a node's last child is its tail.
    IndexEntry last;
    bool open_is_page = false;
    if (l == 0) {
      open_is_page = !level.open.entries.empty() || level.pages == 0;
      if (!level.open.entries.empty()) last = level.open.entries.back();
    } else if (!level.open.entries.empty()) {
      last = std::move(level.open.entries.back());
      level.open.entries.pop_back();
      level.open.tail = last.child;
      open_is_page = true;
    }
    if (open_is_page && level.pages == 0) {
      // The only page of the top level: the root.
      level.open.number = root ? *root : number_(l);
      write_(level.open, l);
      return level.open.number;
    }
    if (open_is_page) Close(l, std::move(level.open), last);
    IndexPage& end = *level.closed;
    if (level.pages == 1) {
      end.number = root ? *root : number_(l);
      write_(end, l);
      return end.number;
    }
    // The level's last page (numbered by the link from the one before).
    end.next = 0;
    write_(end, l);
    IndexEntry up = level.closed_last;
    up.child = end.number;
    level.closed.reset();
    AddToLevel(l + 1, std::move(up));
  }
}

uint32_t BuildIndexTree(Pager& pager, const Format& format, uint32_t owner,
                        const std::vector<IndexEntry>& sorted, IndexPageSource& source) {
  // Shape first, page numbers after: the builder names each page by its
  // place in its level (from 1), and Access numbers the root first, then
  // each level below, left to right.
  std::vector<std::vector<IndexPage>> levels;
  auto place = [&](size_t level) {
    if (levels.size() <= level) levels.resize(level + 1);
    levels[level].emplace_back();
    return uint32_t(levels[level].size());
  };
  auto keep = [&](const IndexPage& page, size_t level) { levels[level][page.number - 1] = page; };
  IndexTreeBuilder builder(format, place, keep);
  for (const IndexEntry& e : sorted) builder.Add(e);
  builder.Finish();

  std::vector<std::vector<uint32_t>> numbers(levels.size());
  for (size_t l = levels.size(); l-- > 0;) {
    for (size_t i = 0; i < levels[l].size(); ++i) numbers[l].push_back(source.allocate());
  }
  auto in = [&](size_t level, uint32_t place) { return place == 0 ? 0 : numbers[level][place - 1]; };
  for (size_t l = 0; l < levels.size(); ++l) {
    for (IndexPage& page : levels[l]) {
      page.number = in(l, page.number);
      page.prev = in(l, page.prev);
      page.next = in(l, page.next);
      if (!page.leaf) {
        for (IndexEntry& e : page.entries) e.child = in(l - 1, e.child);
        page.tail = in(l - 1, page.tail);
      }
      pager.Write(page.number, EncodeIndexPage(format, owner, page, pager.path()), kWriteIndexes);
    }
  }
  return numbers.back().front();
}

}  // namespace act::db::jet
