#include "db/jet/index/index_page_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "db/errors.h"
#include "db/jet/file/data_page.h"

namespace act::db::jet {

namespace {

// Byte `i` of an entry as stored whole, without building it: the key, then
// the row pointer (the prefix never reaches a node's child page, since only
// leaves are compressed).
uint8_t WholeByte(const IndexEntry& entry, size_t i) {
  const size_t n = entry.key.size();
  if (i < n) return entry.key[i];
  switch (i - n) {
    case 0: return uint8_t(entry.row.page >> 16);
    case 1: return uint8_t(entry.row.page >> 8);
    case 2: return uint8_t(entry.row.page);
    default: return entry.row.row;
  }
}

// The prefix of a compressed leaf, given the size of its shortest whole
// entry.
uint32_t PrefixWith(std::span<const IndexEntry> entries, bool leaf, bool has_next,
                    size_t shortest) {
  if (!leaf || !has_next || entries.size() < 2) return 0;
  const IndexEntry& first = entries.front();
  const IndexEntry& last = entries.back();
  // Keys are in lexicographic order, so the first and last keys share no
  // more than all of them do; when they part inside both keys, that is the
  // common prefix of the whole entries too (each entry's first bytes are
  // its key). This is the common case, and it costs one comparison.
  size_t common = 0;
  const size_t keys = std::min(first.key.size(), last.key.size());
  while (common < keys && first.key[common] == last.key[common]) ++common;
  if (common == keys) {
    // One key is a prefix of another: compare the whole entries, row
    // pointers included, one by one.
    common = first.key.size() + 4;
    for (size_t i = 1; i < entries.size(); ++i) common = CommonLeafBytes(first, entries[i], common);
  }
  // One byte holds the count, and every entry must keep a byte of its own
  // for the bitmap to mark where it ends.
  return uint32_t(std::min({common, shortest - 1, size_t(255)}));
}

struct Sizes {
  size_t whole = 0;     // all entries stored whole
  size_t shortest = 0;  // the shortest whole entry
};

Sizes SizesOf(std::span<const IndexEntry> entries, bool leaf) {
  const size_t tail = leaf ? 4 : 8;
  Sizes s;
  s.shortest = SIZE_MAX;
  for (const IndexEntry& e : entries) {
    const size_t size = e.key.size() + tail;
    s.whole += size;
    s.shortest = std::min(s.shortest, size);
  }
  return s;
}

size_t BytesWith(size_t count, const Sizes& sizes, uint32_t prefix) {
  return count == 0 ? 0 : sizes.whole - size_t(prefix) * (count - 1);
}

}  // namespace

size_t CommonLeafBytes(const IndexEntry& a, const IndexEntry& b, size_t limit) {
  limit = std::min({limit, a.key.size() + 4, b.key.size() + 4});
  const size_t keys = std::min({limit, a.key.size(), b.key.size()});
  const uint8_t* x = a.key.data();
  const uint8_t* y = b.key.data();
  size_t n = 0;
  // Eight bytes at a time: the keys of a leaf share their first dozen or
  // more.
  for (; n + 8 <= keys; n += 8) {
    uint64_t u, v;
    std::memcpy(&u, x + n, 8);
    std::memcpy(&v, y + n, 8);
    if (u != v) return n + size_t(__builtin_ctzll(u ^ v) / 8);
  }
  while (n < keys && x[n] == y[n]) ++n;
  if (n < keys) return n;
  while (n < limit && WholeByte(a, n) == WholeByte(b, n)) ++n;
  return n;
}

uint32_t PrefixLengthFor(const IndexPage& page) {
  return PrefixWith(page.entries, page.leaf, page.next != 0,
                    SizesOf(page.entries, page.leaf).shortest);
}

bool EntriesFit(const Format& format, std::span<const IndexEntry> entries, bool leaf,
                bool has_next) {
  Sizes sizes = SizesOf(entries, leaf);
  const size_t space = EntrySpace(format);
  // Stored whole, the entries fit without working out a prefix.
  if (sizes.whole <= space) return true;
  return BytesWith(entries.size(), sizes, PrefixWith(entries, leaf, has_next, sizes.shortest)) <=
         space;
}

LeafFigures FiguresOf(const IndexPage& leaf) {
  LeafFigures figures;
  Sizes sizes = SizesOf(leaf.entries, true);
  figures.whole = sizes.whole;
  figures.shortest = sizes.shortest;
  if (leaf.entries.size() >= 2) {
    const KeyBytes& first = leaf.entries.front().key;
    const KeyBytes& last = leaf.entries.back().key;
    const size_t keys = std::min(first.size(), last.size());
    size_t common = 0;
    while (common < keys && first[common] == last[common]) ++common;
    if (common < keys) figures.stable_common = common;
  }
  return figures;
}

bool LeafFits(const Format& format, const LeafFigures& figures, size_t count, bool has_next) {
  const size_t space = EntrySpace(format);
  if (figures.whole <= space) return true;
  if (!has_next || count < 2 || !figures.stable_common) return false;
  const size_t prefix = std::min({*figures.stable_common, figures.shortest - 1, size_t(255)});
  return figures.whole - prefix * (count - 1) <= space;
}

bool IndexPageFits(const Format& format, const IndexPage& page) {
  return EntriesFit(format, page.entries, page.leaf, page.next != 0);
}

size_t EntrySpace(const Format& format) {
  // The bitmap has a bit for every byte of the entry area, so the page end
  // is the only limit.
  return format.page_size - format.index_first_entry;
}

std::vector<uint8_t> EncodeIndexPage(const Format& f, uint32_t owner, const IndexPage& page,
                                     const std::string& file) {
  // The sizes once, for the check and the prefix both: a statement encodes
  // every page it changes at each flush.
  const Sizes sizes = SizesOf(page.entries, page.leaf);
  const uint32_t prefix = PrefixWith(page.entries, page.leaf, page.next != 0, sizes.shortest);
  const size_t bytes = BytesWith(page.entries.size(), sizes, prefix);
  if (bytes > EntrySpace(f)) {
    throw PageFailure(file, page.number,
                      "index entries of " + std::to_string(bytes) + " bytes do not fit on one page");
  }
  std::vector<uint8_t> out(f.page_size, 0);
  out[0] = page.leaf ? kPageIndexLeaf : kPageIndexNode;
  out[1] = 0x01;
  StoreU32(&out[4], owner);
  StoreU32(&out[f.index_prev], page.prev);
  StoreU32(&out[f.index_next], page.next);
  StoreU32(&out[f.index_tail], page.leaf ? 0 : page.tail);
  if (f.index_prefix_size == 1) {
    out[f.index_prefix] = uint8_t(prefix);
  } else {
    StoreU16(&out[f.index_prefix], uint16_t(prefix));
  }
  out[f.index_prefix + f.index_prefix_size] = page.leaf ? 0x00 : 0x01;

  // Each entry whole is its key, then the row pointer (and a node's
  // child), big-endian; after the first, the shared prefix is left out.
  // The sizes above bound what is written.
  const size_t tail_size = page.leaf ? 4 : 8;
  size_t at = f.index_first_entry;
  for (size_t i = 0; i < page.entries.size(); ++i) {
    const IndexEntry& entry = page.entries[i];
    const size_t skip = i == 0 ? 0 : prefix;
    const size_t key_size = entry.key.size();
    const uint8_t tail[8] = {uint8_t(entry.row.page >> 16), uint8_t(entry.row.page >> 8),
                             uint8_t(entry.row.page),        entry.row.row,
                             uint8_t(entry.child >> 24),     uint8_t(entry.child >> 16),
                             uint8_t(entry.child >> 8),      uint8_t(entry.child)};
    if (skip < key_size) {
      std::memcpy(&out[at], entry.key.data() + skip, key_size - skip);
      at += key_size - skip;
      std::memcpy(&out[at], tail, tail_size);
      at += tail_size;
    } else {
      // The prefix reaches into the row pointer (entries of equal keys).
      std::memcpy(&out[at], tail + (skip - key_size), tail_size - (skip - key_size));
      at += tail_size - (skip - key_size);
    }
    size_t bit = at - f.index_first_entry;
    out[f.index_bitmap + bit / 8] |= uint8_t(1u << (bit % 8));
  }
  StoreU16(&out[2], uint16_t(f.page_size - at));
  return out;
}

}  // namespace act::db::jet
