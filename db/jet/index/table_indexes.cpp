#include "db/jet/index/table_indexes.h"

#include <algorithm>
#include <utility>

#include "db/errors.h"
#include "db/jet/index/index_builder.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page_source.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/file/write_order.h"

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
  if (bulk_) {
    if (bulk_->ordered && (index.flags & kIndexUnique)) {
      std::optional<KeyBytes>& largest = bulk_->largest[i];
      if (!largest || CompareKeys(key, *largest) > 0) largest = key;
    }
    if ((index.flags & kIndexUnique) && Repeated(i, key)) {
      bulk_->written[i].emplace(std::string(key.begin(), key.end()), where);
    }
    EntryRuns& runs = bulk_->runs[i];
    if (runs.full()) {
      FinishAhead();
      runs.Spill();
    }
    while (!runs.Add(key, where)) SpillLargest();
    SpillAheadWhenLow();
    return;
  }
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
  if (bulk_) throw PageFailure(db_.path(), table_.page, "index entry removed during a bulk append");
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

void TableIndexes::Remove(const std::vector<const std::vector<Value>*>& rows,
                          const std::vector<RowPointer>& where) {
  if (bulk_) throw PageFailure(db_.path(), table_.page, "index entries removed during a bulk append");
  std::vector<IndexEntry> entries;
  for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
    const RealIndex& index = table_.real_indexes[i];
    entries.clear();
    for (size_t k = 0; k < rows.size(); ++k) {
      if (Skipped(table_, index, *rows[k])) continue;
      entries.push_back({EncodeIndexKey(db_.format(), table_, index, *rows[k]), where[k], 0});
    }
    std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
      return CompareEntries(a, b) < 0;
    });
    Tree& t = TreeAt(i);
    PutWaiting(t);
    for (const IndexEntry& entry : entries) {
      if (!t.tree->Remove(entry)) {
        throw PageFailure(db_.path(), t.tree->root(),
                          "index " + std::to_string(index.number) + " of table at page " +
                              std::to_string(table_.page) + " has no entry for row " +
                              std::to_string(entry.row.page) + ":" +
                              std::to_string(entry.row.row));
      }
    }
  }
}

std::vector<RowPointer> TableIndexes::Find(const RealIndex& index, const KeyBytes& key) {
  return Find(PositionOf(index), key);
}

std::vector<RowPointer> TableIndexes::Find(size_t i, const KeyBytes& key) {
  if (bulk_) {
    if (!(table_.real_indexes[i].flags & kIndexUnique) || bulk_->census) {
      throw PageFailure(db_.path(), table_.page, "index read during a bulk append");
    }
    if (bulk_->ordered) {
      const std::optional<KeyBytes>& largest = bulk_->largest[i];
      if (largest && CompareKeys(key, *largest) <= 0) throw KeysOutOfOrder{};
      return {};
    }
    // A key the census met once meets nothing; one it met more than once
    // may meet a key written earlier in this append, or one the tree holds.
    if (!Repeated(i, key)) return {};
    const auto& written = bulk_->written[i];
    if (auto it = written.find(std::string(key.begin(), key.end())); it != written.end()) {
      return {it->second};
    }
    return TreeAt(i).tree->Find(key);
  }
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

void TableIndexes::BeginBulk(FileSystem& fs, const BulkLimits& limits) {
  auto bulk = std::make_unique<Bulk>();
  bulk->limits = limits;
  bulk->spill = std::make_unique<SpillFile>(fs, db_.path());
  const size_t n = table_.real_indexes.size();
  bulk->runs.reserve(n);
  // Half the memory holds the entries, the other half is the sort's: 32
  // bytes of it for each entry of the run it sorts.
  bulk->pool = std::make_unique<BlockPool>(limits.runs / 2);
  const size_t most_held = std::max<size_t>(limits.runs / 2 / 32, 1024);
  for (size_t i = 0; i < n; ++i) {
    bulk->runs.emplace_back(*bulk->spill, *bulk->pool, bulk->sort_refs, bulk->sort_space,
                            most_held);
  }
  bulk->repeated.resize(n);
  bulk->written.resize(n);
  for (const RealIndex& index : table_.real_indexes) {
    if (index.flags & kIndexUnique) {
      bulk->census = std::make_unique<KeyCensus>(n, *bulk->spill, limits.census_hashes);
      break;
    }
  }
  bulk_ = std::move(bulk);
}

bool TableIndexes::census_wanted() const { return bulk_ && bulk_->census; }

void TableIndexes::AssumeOrdered() {
  bulk_->census.reset();
  bulk_->ordered = true;
  bulk_->largest.assign(table_.real_indexes.size(), std::nullopt);
  for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
    if (table_.real_indexes[i].flags & kIndexUnique) bulk_->largest[i] = LargestKey(i);
  }
}

std::optional<KeyBytes> TableIndexes::LargestKey(size_t i) {
  // Down the last child of each node (its tail, or its last entry's child
  // in a node without one) to the last leaf.
  uint32_t number = ReadIndexState(db_, table_, table_.real_indexes[i]).root;
  for (int depth = 0;; ++depth) {
    const IndexPage page = ReadIndexPage(db_.pager(), db_.format(), number, table_.page);
    if (page.leaf) {
      if (page.entries.empty()) return std::nullopt;
      return page.entries.back().key;
    }
    if (depth > 16 || (page.tail == 0 && page.entries.empty())) {
      throw PageFailure(db_.path(), number, "index node without a last child");
    }
    number = page.tail != 0 ? page.tail : page.entries.back().child;
  }
}

bool TableIndexes::EndCensus(const std::vector<std::optional<KeyBytes>>& fresh) {
  KeyCensus& census = *bulk_->census;
  for (size_t i = 0; i < table_.real_indexes.size(); ++i) {
    const RealIndex& index = table_.real_indexes[i];
    if (!(index.flags & kIndexUnique)) continue;
    RealIndex current = index;
    current.root = ReadIndexState(db_, table_, index).root;
    KeyBytes last;
    IndexReader(db_.pager(), db_.format(), table_, current).Walk([&](const IndexEntry& e) {
      census.AddHeld(i, e.key);
      last = e.key;
    });
    if (i < fresh.size() && fresh[i] && CompareKeys(last, *fresh[i]) >= 0) {
      bulk_->census.reset();
      return false;
    }
  }
  auto repeated = census.Repeated(bulk_->limits.repeated_keys);
  bulk_->census.reset();
  if (!repeated) return false;
  bulk_->repeated = std::move(*repeated);
  bulk_->filter.assign(bulk_->repeated.size(), {});
  for (size_t i = 0; i < bulk_->repeated.size(); ++i) {
    if (bulk_->repeated[i].empty()) continue;
    std::vector<uint64_t>& bits = bulk_->filter[i];
    bits.assign((size_t(1) << 16) / 64, 0);
    for (uint64_t hash : bulk_->repeated[i]) bits[hash >> 54] |= uint64_t(1) << ((hash >> 48) & 63);
  }
  return true;
}

void TableIndexes::FinishAhead() {
  if (!bulk_->ahead) return;
  EntryRuns* ahead = std::exchange(bulk_->ahead, nullptr);
  ahead->FinishAhead();
}

void TableIndexes::SpillAheadWhenLow() {
  BlockPool& pool = *bulk_->pool;
  if (bulk_->ahead || pool.left() * 4 > pool.most()) return;
  EntryRuns* largest = nullptr;
  for (EntryRuns& runs : bulk_->runs) {
    if (!largest || runs.held_blocks() > largest->held_blocks()) largest = &runs;
  }
  if (!largest || largest->held_blocks() == 0) return;
  largest->SpillAhead();
  bulk_->ahead = largest;
}

void TableIndexes::SpillLargest() {
  if (bulk_->ahead) return FinishAhead();
  // The index that holds most goes out: the indexes then spill in turn,
  // each with more than its even share of the memory, and give the merge
  // fewer, longer runs.
  EntryRuns* largest = nullptr;
  for (EntryRuns& runs : bulk_->runs) {
    if (!largest || runs.held_blocks() > largest->held_blocks()) largest = &runs;
  }
  if (!largest || largest->held_blocks() == 0) {
    throw PageFailure(db_.path(), table_.page, "index entry larger than a bulk append's memory");
  }
  largest->Spill();
}

bool TableIndexes::Repeated(size_t i, const KeyBytes& key) const {
  const std::vector<uint64_t>& repeated = bulk_->repeated[i];
  if (repeated.empty()) return false;
  const uint64_t hash = KeyHash(key);
  if (!((bulk_->filter[i][hash >> 54] >> ((hash >> 48) & 63)) & 1)) return false;
  return std::binary_search(repeated.begin(), repeated.end(), hash);
}

void TableIndexes::EndBulk(const std::function<void()>& flush, size_t flush_pages) {
  // A failure part-way leaves some indexes merged: nothing merges again.
  bulk_->ending = true;
  FinishAhead();
  for (size_t i = 0; i < trees_.size(); ++i) MergeInto(i, flush, flush_pages);
  bulk_->spill->Remove();
  bulk_.reset();
}

void TableIndexes::MergeInto(size_t i, const std::function<void()>& flush, size_t flush_pages) {
  EntryRuns& runs = bulk_->runs[i];
  if (runs.size() == 0) return;
  const RealIndex& index = table_.real_indexes[i];
  Tree& t = TreeAt(i);
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  const uint32_t root = t.tree->root();
  // Each run is read back a block at a time; together they hold a part of
  // what the runs held in memory.
  const size_t buffer = std::clamp<size_t>(bulk_->limits.runs / 4 / (runs.runs() + 1), 4 << 10, 1 << 20);
  const IndexPage top = ReadIndexPage(pager, format, root, table_.page);
  if (top.leaf) {
    for (const IndexEntry& e : top.entries) {
      if (runs.full()) {
        FinishAhead();
        runs.Spill();
      }
      while (!runs.Add(e.key, e.row)) SpillLargest();
    }
  }
  // Runs written out that fit in a part of the memory are read whole
  // first: the merge then reads no file and goes on a thread of its own, a
  // batch ahead of this one, which fills and writes the tree's pages.
  const bool read_whole = runs.spilled_bytes() <= bulk_->limits.runs * 3 / 8;
  if (top.leaf) {
    // A tree of one page (an empty table's) is built anew over its entries
    // and the new ones, as Access builds an index, leaf after leaf; the
    // new pages are written before the root, which keeps its page and is
    // written last, so the file holds the old tree until then.
    IndexPageSource pages = IndexPagesOf(allocator_, table_, index);
    auto number = [&](size_t) { return pages.allocate(); };
    auto write = [&](const IndexPage& page, size_t) {
      pager.Write(page.number, EncodeIndexPage(format, table_.page, page, pager.path()),
                  page.number == root ? kWriteIndexes : kWriteNewIndexPages);
    };
    IndexTreeBuilder builder(format, number, write);
    {
      MergeAhead merged(runs.Merge(buffer, read_whole), 4096, read_whole);
      for (std::vector<IndexEntry> batch; merged.Next(batch);) {
        for (IndexEntry& e : batch) {
          builder.Add(std::move(e));
          if (pager.pending_writes() > flush_pages) flush();
        }
      }
    }
    builder.Finish(root);
    t.distinct_keys = uint32_t(builder.distinct_keys());
    // Its pages changed under the tree object, which starts again.
    t.tree = std::make_unique<IndexTree>(pager, format, table_.page, root,
                                         IndexPagesOf(allocator_, table_, index));
    return;
  }
  // A larger tree takes them a leaf at a time, in key order, a batch at a
  // time so that the leaves a batch changes stay few.
  MergeAhead merged(runs.Merge(buffer, read_whole), 1024, read_whole);
  for (std::vector<IndexEntry> batch; merged.Next(batch);) {
    t.distinct_keys += uint32_t(t.tree->InsertSorted(batch));
    if (pager.pending_writes() > flush_pages) flush();
  }
}

}  // namespace act::db::jet
