// Index pages (B-tree nodes and leaves): the header, the entry-end bitmap,
// prefix compression and the entries themselves.
//
// Note the prefix length: ONE byte at 0x14 in Jet 3 (the next byte is 1 on
// node pages), two bytes in Jet 4. Reading two bytes in Jet 3 gives node
// pages a prefix of 256+ and sends lookups down the wrong branch.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/file/data_page.h"
#include "db/jet/file/format.h"
#include "db/jet/index/index_key.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

struct IndexEntry {
  KeyBytes key;
  RowPointer row;      // leaf: the row; node: the last row of the child
  uint32_t child = 0;  // node entries only
};
static_assert(sizeof(IndexEntry) <= 48, "a leaf moves its entries for every insert");

// Orders leaf entries: key bytes, then row position.
inline int CompareEntries(const IndexEntry& a, const IndexEntry& b) {
  const int c = CompareKeys(a.key, b.key);
  if (c != 0) return c;
  return a.row < b.row ? -1 : b.row < a.row ? 1 : 0;
}

struct IndexPage {
  uint32_t number = 0;
  bool leaf = true;
  uint32_t prev = 0, next = 0, tail = 0;
  uint32_t prefix_length = 0;
  std::vector<IndexEntry> entries;
};

// Puts `entry` before position `at` and returns where it went. A leaf of
// a few hundred entries moves half of them for every insert, so they move
// as one block of bytes rather than one by one: an entry holds no pointer
// into itself (KeyBytes keeps a short key's bytes inline and a long one's
// block by pointer), which makes it relocatable the way Qt and folly treat
// such types.
IndexEntry* InsertEntry(std::vector<IndexEntry>& entries, size_t at, IndexEntry&& entry);
// Puts all of `from` (in order) before position `at`, moving the entries
// after it once, and leaves `from` empty.
void InsertEntries(std::vector<IndexEntry>& entries, size_t at, std::vector<IndexEntry>& from);
// Moves the first `count` entries of `from` into `to` (which they replace),
// as bytes, and closes the gap they leave: a split hands half a page over.
void MoveFrontEntries(std::vector<IndexEntry>& from, size_t count, std::vector<IndexEntry>& to);

// Reads and checks an index page of the table whose TDEF is `owner`.
IndexPage ReadIndexPage(Pager& pager, const Format& format, uint32_t number, uint32_t owner);

}  // namespace act::db::jet
