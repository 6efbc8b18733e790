// Laying out index pages the way Access writes them: header, entry-end
// bitmap, entries packed from the first entry offset, and prefix
// compression on leaves that have a right sibling.
//
// Access compresses only leaves that are not the last of their level (the
// shared prefix is that of all whole entries on the page); root leaves, the
// last leaf and node pages carry no prefix. We follow the same rule, so the
// pages we write are byte-identical to what Access's layout would give for
// the same entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/index/index_page.h"

namespace act::db::jet {

// How many leading bytes two leaf entries share stored whole (the key, then
// the row pointer), up to `limit`.
size_t CommonLeafBytes(const IndexEntry& a, const IndexEntry& b, size_t limit);

// The prefix length a page gets under Access's rule: 0 unless it is a leaf
// with a next page; otherwise the common prefix of its whole entries (kept
// shorter than the shortest entry, so every entry stores at least a byte).
uint32_t PrefixLengthFor(const IndexPage& page);

// Bytes a page's entry area has room for.
size_t EntrySpace(const Format& format);
bool IndexPageFits(const Format& format, const IndexPage& page);
// What the fit of a leaf follows from. `stable_common` is the common prefix
// of its whole entries when that follows from its first and last keys alone
// (they part inside both), so that it holds for as long as those two stay.
struct LeafFigures {
  size_t whole = 0;     // bytes of all entries stored whole
  size_t shortest = 0;  // the shortest whole entry
  std::optional<size_t> stable_common;
};
LeafFigures FiguresOf(const IndexPage& leaf);
// Whether a leaf of `count` entries with these figures fits its page.
bool LeafFits(const Format& format, const LeafFigures& figures, size_t count, bool has_next);

// The same for entries alone on a page of that kind, without building it.
bool EntriesFit(const Format& format, std::span<const IndexEntry> entries, bool leaf,
                bool has_next);

// The page image of `page` for the table whose TDEF is `owner`; the prefix
// length is recomputed (page.prefix_length is ignored). Fails with 3049 when
// the entries do not fit.
std::vector<uint8_t> EncodeIndexPage(const Format& format, uint32_t owner, const IndexPage& page,
                                     const std::string& file);

}  // namespace act::db::jet
