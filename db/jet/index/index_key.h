// Index keys: the byte strings Jet stores in index entries, which compare
// with memcmp in index order. Each column contributes a flag byte (0x7F
// ascending, 0x80 descending; 0x00/0xFF alone for Null) and its value bytes,
// inverted for descending columns.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/index/key_bytes.h"
#include "db/jet/table/table_definition.h"
#include "db/value.h"

namespace act::db::jet {

// Jet 3 "General" sort key of code-page-1252 text (without the flag byte).
// Case-blind: "A" and "a" give the same key.
KeyBytes Jet3TextKey(std::string_view cp1252);
void AppendJet3TextKey(KeyBytes& key, std::string_view cp1252);

// Appends one column's part of a key. `stored_text`: a text value holds the
// column's stored bytes (Windows-1252) rather than UTF-8.
void AppendKeyColumn(KeyBytes& key, const Format& format, const ColumnDef& column,
                     bool ascending, const Value& value, bool stored_text = false);

// The whole key of a row for an index; values are indexed like
// table.columns, and so is `stored_text` (see TableWriter::Append) when
// given.
KeyBytes EncodeIndexKey(const Format& format, const TableDefinition& table,
                        const RealIndex& index, std::span<const Value> row,
                        const std::vector<bool>* stored_text = nullptr);
void AppendIndexKey(KeyBytes& key, const Format& format, const TableDefinition& table,
                    const RealIndex& index, std::span<const Value> row,
                    const std::vector<bool>* stored_text = nullptr);

// How many of the index's key columns hold Null in `row` (values indexed
// like table.columns; a column the row lacks counts as Null). An index that
// ignores Nulls lists no row whose key columns are all Null; a unique index
// takes any number of keys holding one.
size_t NullKeyColumns(const TableDefinition& table, const RealIndex& index,
                      std::span<const Value> row);

// What an index does with a row whose key has `nulls` Null columns: one
// that disallows Nulls refuses it (3058); like Access, a unique index takes
// any number of keys holding a Null, so only a key without one is looked up
// for uniqueness; one that ignores Nulls does not list a key all Null.
inline bool RefusesNullKey(const RealIndex& index, size_t nulls) {
  return (index.flags & kIndexRequired) && nulls > 0;
}
inline bool LooksUpKey(const RealIndex& index, size_t nulls) {
  return (index.flags & kIndexUnique) && nulls == 0;
}
inline bool ListsKey(const RealIndex& index, size_t nulls) {
  return !(index.flags & kIndexIgnoreNulls) || nulls < index.columns.size();
}

// memcmp order, a shorter key first when it is a prefix of the other.
// Inline and eight bytes at a time: searches inside leaves make most of the
// comparisons of a long statement, on keys of a few dozen bytes, where a
// call to memcmp cost more than the comparing.
inline int CompareKeys(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  static_assert(std::endian::native == std::endian::little);
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  auto differ = [&](size_t at, int& order) {
    uint64_t x, y;
    std::memcpy(&x, a.data() + at, 8);
    std::memcpy(&y, b.data() + at, 8);
    if (x == y) return false;
    order = __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    return true;
  };
  int order = 0;
  if (n >= 8) {
    for (; i + 8 <= n; i += 8) {
      if (differ(i, order)) return order;
    }
    // The last bytes, as the eight that end them: those before are equal.
    if (i < n && differ(n - 8, order)) return order;
  } else {
    for (; i < n; ++i) {
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace act::db::jet
