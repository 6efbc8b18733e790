#include "db/jet/table_indexes.h"

#include <algorithm>

#include "db/errors.h"
#include "db/jet/index_key.h"
#include "db/jet/index_page_source.h"

namespace act::db::jet {

namespace {

bool Skipped(const TableDefinition& table, const RealIndex& index, const std::vector<Value>& row) {
  return !ListsKey(index, NullKeyColumns(table, index, row));
}

}  // namespace

TableIndexes::TableIndexes(Database& db, PageAllocator& allocator, const TableDefinition& table)
    : db_(db), allocator_(allocator), table_(table), trees_(table.real_indexes.size()) {}

size_t TableIndexes::PositionOf(const RealIndex& index) const {
  // Trees are kept by position: the number the TDEF stores is not trusted
  // as an index into anything.
  const RealIndex* first = table_.real_indexes.data();
  if (&index < first || &index >= first + table_.real_indexes.size()) {
    throw PageFailure(db_.path(), table_.page, "index of another table definition");
  }
  return size_t(&index - first);
}

TableIndexes::Tree& TableIndexes::OpenTree(size_t i) {
  const RealIndex& index = table_.real_indexes[i];
  // The TDEF, not the cached definition, holds the current root.
  Tree t;
  t.written = ReadIndexState(db_, table_, index);
  t.distinct_keys = t.written.counter_b;
  t.tree = std::make_unique<IndexTree>(db_.pager(), db_.format(), table_.page, t.written.root,
                                       IndexPagesOf(allocator_, table_, index));
  trees_[i] = std::move(t);
  return *trees_[i];
}

TableIndexes::RowKeys TableIndexes::Keys(const std::vector<Value>& row,
                                         const std::vector<bool>* stored_text) const {
  RowKeys keys;
  Keys(row, keys, stored_text);
  return keys;
}

void TableIndexes::Keys(const std::vector<Value>& row, RowKeys& keys,
                        const std::vector<bool>* stored_text) const {
  keys.resize(table_.real_indexes.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    keys[i].clear();
    AppendIndexKey(keys[i], db_.format(), table_, table_.real_indexes[i], row, stored_text);
  }
}

void TableIndexes::Insert(const std::vector<Value>& row, RowKeys&& keys, RowPointer where) {
  for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
    if (!Skipped(table_, table_.real_indexes[i], row)) InsertEntry(i, std::move(keys.at(i)), where);
  }
}

void TableIndexes::Insert(RowKeys&& keys, RowPointer where, uint64_t listed) {
  for (size_t i = 0; i < table_.real_indexes.size() && i < 64 && listed >> i != 0; ++i) {
    if ((listed >> i) & 1) InsertEntry(i, std::move(keys.at(i)), where);
  }
}

void TableIndexes::InsertEntry(size_t i, KeyBytes&& key, RowPointer where) {
  const RealIndex& index = table_.real_indexes[i];
  Tree& t = TreeAt(i);
  if (index.flags & kIndexUnique) {
    if (t.tree->Insert({std::move(key), where, 0})) ++t.distinct_keys;
    return;
  }
  t.waiting.push_back({std::move(key), where, 0});
  if (t.waiting.size() >= kWaitingEntries) PutWaiting(t);
}

void TableIndexes::PutWaiting(Tree& t) {
  if (t.waiting.empty()) return;
  // In key order, each leaf takes its entries at once, so it is read and
  // written once per batch rather than once per row. Row positions differ,
  // so the order is total.
  auto by_key = [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; };
  if (!std::is_sorted(t.waiting.begin(), t.waiting.end(), by_key)) {
    std::sort(t.waiting.begin(), t.waiting.end(), by_key);
  }
  t.distinct_keys += uint32_t(t.tree->InsertSorted(t.waiting));
  t.waiting.clear();
}

void TableIndexes::Remove(const std::vector<Value>& row, const RowKeys& keys, RowPointer where) {
  for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
    const RealIndex& index = table_.real_indexes[i];
    if (Skipped(table_, index, row)) continue;
    Tree& t = TreeAt(PositionOf(index));
    PutWaiting(t);
    if (!t.tree->Remove({keys.at(i), where, 0})) {
      throw PageFailure(db_.path(), t.tree->root(),
                        "index " + std::to_string(index.number) + " of table at page " +
                            std::to_string(table_.page) + " has no entry for row " +
                            std::to_string(where.page) + ":" + std::to_string(where.row));
    }
  }
}

std::vector<RowPointer> TableIndexes::Find(const RealIndex& index, const KeyBytes& key) {
  return Find(PositionOf(index), key);
}

std::vector<RowPointer> TableIndexes::Find(size_t i, const KeyBytes& key) {
  Tree& t = TreeAt(i);
  PutWaiting(t);
  return t.tree->Find(key);
}

void TableIndexes::WriteChanges() {
  for (size_t n = 0; n < trees_.size(); ++n) {
    if (!trees_[n]) continue;
    Tree& t = *trees_[n];
    const RealIndex& index = table_.real_indexes[n];
    PutWaiting(t);
    t.tree->WriteChanges();
    if (t.tree->root() != t.written.root) {
      WriteIndexRoot(db_, table_, index, t.tree->root());
      t.written.root = t.tree->root();
    }
    if (t.distinct_keys != t.written.counter_b) {
      WriteIndexCounterB(db_, table_, index, t.distinct_keys);
      t.written.counter_b = t.distinct_keys;
    }
  }
}

}  // namespace act::db::jet
