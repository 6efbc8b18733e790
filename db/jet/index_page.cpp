#include "db/jet/index_page.h"

#include <cstring>
#include <new>

namespace act::db::jet {

IndexEntry* InsertEntry(std::vector<IndexEntry>& entries, size_t at, IndexEntry&& entry) {
  // Room at the end: an empty entry, which owns nothing, so its bytes may
  // be overwritten without destroying it.
  entries.emplace_back();
  IndexEntry* base = entries.data();
  const size_t moved = entries.size() - 1 - at;
  if (moved != 0) {
    std::memmove(static_cast<void*>(base + at + 1), static_cast<const void*>(base + at),
                 moved * sizeof(IndexEntry));
    // The bytes left at `at` now belong to the entry after it: build the new
    // entry over them without destroying them.
    new (base + at) IndexEntry(std::move(entry));
  } else {
    base[at] = std::move(entry);
  }
  return base + at;
}

void MoveFrontEntries(std::vector<IndexEntry>& from, size_t count, std::vector<IndexEntry>& to) {
  // Empty entries own nothing: `to` gets `count` of them whose bytes are
  // then overwritten, and the ones left behind in `from` are rebuilt empty
  // over the bytes that moved away, so nothing is destroyed twice.
  to.clear();
  to.resize(count);
  IndexEntry* base = from.data();
  std::memcpy(static_cast<void*>(to.data()), static_cast<const void*>(base),
              count * sizeof(IndexEntry));
  const size_t rest = from.size() - count;
  std::memmove(static_cast<void*>(base), static_cast<const void*>(base + count),
               rest * sizeof(IndexEntry));
  for (size_t i = rest; i < from.size(); ++i) new (base + i) IndexEntry();
  from.resize(rest);
}

IndexPage ReadIndexPage(Pager& pager, const Format& f, uint32_t number, uint32_t owner) {
  PageRef page = pager.Get(number);
  const Page& p = *page;
  uint8_t type = p.U8(0);
  if (type != kPageIndexNode && type != kPageIndexLeaf) {
    p.Fail("expected an index page, found page type " + std::to_string(type));
  }
  if (p.U32(4) != owner) {
    p.Fail("index page belongs to TDEF " + std::to_string(p.U32(4)) + ", expected " +
           std::to_string(owner));
  }
  IndexPage out;
  out.number = number;
  out.leaf = type == kPageIndexLeaf;
  out.prev = p.U32(f.index_prev);
  out.next = p.U32(f.index_next);
  out.tail = p.U32(f.index_tail);
  out.prefix_length = f.index_prefix_size == 1 ? p.U8(f.index_prefix) : p.U16(f.index_prefix);

  // Leaf entries end with a 3-byte page and a 1-byte row; node entries add
  // the 4-byte child page. All big-endian.
  const size_t tail_size = out.leaf ? 4 : 8;
  const size_t bitmap_bytes = f.index_first_entry - f.index_bitmap;
  std::span<const uint8_t> bitmap = p.Bytes(f.index_bitmap, bitmap_bytes);
  std::span<const uint8_t> first;
  size_t start = f.index_first_entry;
  for (size_t byte = 0; byte < bitmap_bytes; ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bitmap[byte] & (1u << bit))) continue;
      size_t end = f.index_first_entry + byte * 8 + bit;
      if (end <= start || end > p.size()) {
        p.Fail("index entry ends at " + std::to_string(end) + ", before it starts or past the page");
      }
      std::span<const uint8_t> stored = p.Bytes(start, end - start);
      IndexEntry entry;
      if (out.entries.empty()) {
        first = stored;
        entry.key.assign(stored.begin(), stored.end());
      } else {
        if (out.prefix_length > first.size()) {
          p.Fail("prefix of " + std::to_string(out.prefix_length) + " bytes exceeds the first entry");
        }
        entry.key.assign(first.begin(), first.begin() + out.prefix_length);
        entry.key.insert(entry.key.end(), stored.begin(), stored.end());
      }
      if (entry.key.size() <= tail_size) {
        p.Fail("index entry of " + std::to_string(entry.key.size()) + " bytes has no key");
      }
      const uint8_t* t = entry.key.data() + entry.key.size() - tail_size;
      entry.row.page = LoadU24BE(t);
      entry.row.row = t[3];
      if (!out.leaf) entry.child = LoadU32BE(t + 4);
      for (size_t i = 0; i < tail_size; ++i) entry.key.pop_back();  // the key is what precedes
      out.entries.push_back(std::move(entry));
      start = end;
    }
  }
  return out;
}

}  // namespace act::db::jet
