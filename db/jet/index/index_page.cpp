#include "db/jet/index/index_page.h"

#include <bit>
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

void InsertEntries(std::vector<IndexEntry>& entries, size_t at, std::vector<IndexEntry>& from) {
  const size_t count = from.size();
  if (count == 0) return;
  // Room at the end: empty entries, which own nothing, so their bytes may
  // be overwritten without destroying them (as in InsertEntry).
  const size_t old_size = entries.size();
  entries.resize(old_size + count);
  IndexEntry* base = entries.data();
  std::memmove(static_cast<void*>(base + at + count), static_cast<const void*>(base + at),
               (old_size - at) * sizeof(IndexEntry));
  // The bytes left in [at, at + count) belong to entries that moved (or to
  // empty ones): build the new entries over them without destroying them.
  for (size_t i = 0; i < count; ++i) new (base + at + i) IndexEntry(std::move(from[i]));
  from.clear();
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
  // Each set bit marks where an entry ends; one entry per bit, so the
  // count is known before the first is decoded.
  size_t count = 0;
  for (unsigned b : bitmap) {
    for (; b != 0; b &= b - 1) ++count;
  }
  out.entries.reserve(count);
  // The page's bytes once: each entry below is checked against its size.
  const std::span<const uint8_t> bytes = p.Bytes(0, p.size());
  std::span<const uint8_t> first;
  size_t start = f.index_first_entry;
  // An entry whole (the prefix it shares with the first, then its stored
  // bytes); no entry is longer than the page.
  std::vector<uint8_t> whole(p.size());
  for (size_t byte = 0; byte < bitmap_bytes; ++byte) {
    for (unsigned bits = bitmap[byte]; bits != 0; bits &= bits - 1) {
      const int bit = std::countr_zero(bits);
      size_t end = f.index_first_entry + byte * 8 + size_t(bit);
      if (end <= start || end > bytes.size()) {
        p.Fail("index entry ends at " + std::to_string(end) + ", before it starts or past the page");
      }
      const std::span<const uint8_t> stored = bytes.subspan(start, end - start);
      // Every entry after the first starts with the first's prefix.
      size_t prefix = 0;
      if (out.entries.empty()) {
        first = stored;
      } else {
        prefix = out.prefix_length;
        if (prefix > first.size()) {
          p.Fail("prefix of " + std::to_string(prefix) + " bytes exceeds the first entry");
        }
      }
      const size_t size = prefix + stored.size();
      if (size <= tail_size) {
        p.Fail("index entry of " + std::to_string(size) + " bytes has no key");
      }
      if (size > whole.size()) p.Fail("index entry longer than its page");
      std::memcpy(whole.data(), first.data(), prefix);
      std::memcpy(whole.data() + prefix, stored.data(), stored.size());
      // The key is what precedes the row pointer (and a node's child).
      const size_t key_size = size - tail_size;
      IndexEntry& entry = out.entries.emplace_back();
      entry.key.append(whole.data(), key_size);
      const uint8_t* t = whole.data() + key_size;
      entry.row.page = LoadU24BE(t);
      entry.row.row = t[3];
      if (!out.leaf) entry.child = LoadU32BE(t + 4);
      start = end;
    }
  }
  return out;
}

}  // namespace act::db::jet
