// The index trees of one table while a writer changes it. Each tree keeps
// the pages it decoded and changed between rows, and the TDEF's root and
// distinct-key counter are kept here too, so that a statement of a million
// rows decodes and encodes a page once per batch rather than once per row.
// Everything reaches the pager at WriteChanges(), which the writer calls
// before each flush.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/index/entry_runs.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/key_census.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_definition.h"
#include "db/jet/file/spill_file.h"
#include "db/jet/table/tdef_patch.h"
#include "db/value.h"
#include "platform/file_system.h"

namespace act::db::jet {

// Thrown by a bulk append that assumed its unique keys in order
// (TableIndexes::AssumeOrdered) when a row's key is not above every key
// before it, before anything of the row is written.
struct KeysOutOfOrder {};

// What a bulk append may hold in memory (TableIndexes::BeginBulk).
struct BulkLimits {
  // Bytes the new entries of all indexes, and the sort of one run of them,
  // hold before the entries are written out as sorted runs.
  size_t runs = size_t(32) << 20;
  // Key hashes the census holds before it writes them out (8 bytes each).
  size_t census_hashes = size_t(2) << 20;
  // Keys the census may find more than once, all indexes together, each
  // kept in memory once written; past that, the rows go in one at a time.
  size_t repeated_keys = 65536;
};

class TableIndexes {
 public:
  // `allocator` and `table` must outlive this object.
  TableIndexes(Database& db, PageAllocator& allocator, const TableDefinition& table);

  // The row's key in each real index, like table().real_indexes: encoded
  // once for the checks and the change of a row.
  using RowKeys = std::vector<KeyBytes>;
  RowKeys Keys(const std::vector<Value>& row,
               const std::vector<bool>* stored_text = nullptr) const;
  // The same into `keys`, whose buffers a writer keeps from row to row.
  void Keys(const std::vector<Value>& row, RowKeys& keys,
            const std::vector<bool>* stored_text = nullptr) const;

  // Adds (removes) the entries of the row at `where` to (from) every real
  // index that lists it; `keys` are Keys(row). Remove fails when an index
  // has no entry for the row.
  void Insert(const std::vector<Value>& row, RowKeys&& keys, RowPointer where);
  // The same for the real indexes whose bit is set in `listed` (those that
  // list the row, worked out beforehand).
  void Insert(RowKeys&& keys, RowPointer where, uint64_t listed);
  void Remove(const std::vector<Value>& row, const RowKeys& keys, RowPointer where);
  void Insert(const std::vector<Value>& row, RowPointer where) { Insert(row, Keys(row), where); }
  void Remove(const std::vector<Value>& row, RowPointer where) { Remove(row, Keys(row), where); }
  // Removes the entries of many rows (`rows[k]` at `where[k]`), each
  // index's in key order, so that a leaf is read and changed once for all
  // the entries it holds rather than once for each.
  void Remove(const std::vector<const std::vector<Value>*>& rows,
              const std::vector<RowPointer>& where);

  // Rows whose key in `index` (an element of table().real_indexes) equals `key`, changes
  // not yet written included.
  std::vector<RowPointer> Find(const RealIndex& index, const KeyBytes& key);
  // The same for real index i (by position, as a row's keys are).
  std::vector<RowPointer> Find(size_t i, const KeyBytes& key);

  const TableDefinition& table() const { return table_; }

  // Hands changed index pages and TDEF fields to the pager.
  void WriteChanges();

  // Many rows at once (INSERT ... SELECT). Between BeginBulk and EndBulk
  // the new entries of every index wait in sorted runs, written to a
  // scratch file beside the database past a bound, and go into the
  // trees at EndBulk, a leaf at a time: keys that come in no order then
  // cost a sort instead of a leaf read and written for nearly every row,
  // and the memory held does not grow with the rows or the trees.
  //
  // A unique index must still refuse a row whose key it holds or an
  // earlier row brought. Before the rows are written, a table with unique
  // indexes takes a census (KeyCensus) of every key the rows will bring to
  // them (CensusKey, for each row that may be written) and EndCensus adds
  // those the trees hold; while the rows are written, Find then looks up
  // only keys the census met more than once, among the keys of that kind
  // written so far (kept here) and in the tree. Each row is so checked
  // against exactly the keys it would meet one row at a time, in order.
  //
  // Nothing but those lookups may read an index in between, and nothing
  // may remove from one.
  void BeginBulk(FileSystem& fs, const BulkLimits& limits = {});
  bool in_bulk() const { return bulk_ != nullptr && !bulk_->ending; }
  // Instead of a census: every unique key the rows bring is taken to lie
  // above every key before it (the tree's and the earlier rows'), so that
  // none can meet another; Find throws KeysOutOfOrder for one that does not.
  void AssumeOrdered();
  bool census_wanted() const;
  void CensusKey(size_t i, const KeyBytes& key, uint64_t hash) { bulk_->census->Add(i, key, hash); }
  void CensusKey(size_t i, const KeyBytes& key) { CensusKey(i, key, KeyHash(key)); }
  // False when the keys repeat too often for their check to stay in
  // memory: the rows then go in one at a time (CancelBulk). `fresh[i]`,
  // when given, is the least of the keys index i gets from the writer's
  // counter (counted apart: all different): false too when the tree holds
  // one from there on.
  bool EndCensus(const std::vector<std::optional<KeyBytes>>& fresh);
  void CancelBulk() { bulk_.reset(); }
  // Puts the waiting entries into the trees. `flush` is called whenever
  // more than `flush_pages` pages wait in the pager for the file; it must
  // call WriteChanges before it flushes.
  void EndBulk(const std::function<void()>& flush, size_t flush_pages);

 private:
  struct Tree {
    std::unique_ptr<IndexTree> tree;
    IndexState written;  // root and counters as the pager has them
    uint32_t distinct_keys = 0;
    // Entries of an index that refuses nothing wait here and go in
    // together, in key order: rows whose keys come in no order (the artist
    // of each song) would otherwise each need a leaf of their own, read and
    // written again once the tree outgrows the pages it keeps. Nothing
    // reads such an index while rows are appended; anything that does
    // (Find, Remove, WriteChanges) puts them in first.
    std::vector<IndexEntry> waiting;
  };
  static constexpr size_t kWaitingEntries = 16384;
  struct Bulk {
    BulkLimits limits;
    bool ending = false;  // EndBulk began: it is not begun again
    std::unique_ptr<SpillFile> spill;
    std::unique_ptr<KeyCensus> census;
    std::unique_ptr<BlockPool> pool;
    std::vector<EntryRuns::Ref> sort_refs, sort_space;  // the runs', one sorts at a time
    std::vector<EntryRuns> runs;  // like table_.real_indexes
    EntryRuns* ahead = nullptr;   // the one whose run is sorted on another thread
    // Unique indexes: hashes the census met more than once, and the keys
    // of that kind written so far.
    std::vector<std::vector<uint64_t>> repeated;
    // A bit for each value of a hash's top 16 bits among those: most keys
    // are ruled out there, without a search.
    std::vector<std::vector<uint64_t>> filter;
    // AssumeOrdered: the largest key of each unique index so far.
    bool ordered = false;
    std::vector<std::optional<KeyBytes>> largest;
    std::vector<std::unordered_map<std::string, RowPointer>> written;
  };
  bool Repeated(size_t i, const KeyBytes& key) const;
  // Makes room in the pool: the run sorted ahead is written out, or else
  // the run of the index that holds the most blocks.
  void SpillLargest();
  // When the pool runs low, the run of the index that holds most is
  // sorted on another thread while rows go on (EntryRuns::SpillAhead).
  void SpillAheadWhenLow();
  // Writes out the run sorted ahead, if any: before any other sort, which
  // shares its memory.
  void FinishAhead();
  // The largest key of real index i's tree as the file holds it.
  std::optional<KeyBytes> LargestKey(size_t i);
  void MergeInto(size_t i, const std::function<void()>& flush, size_t flush_pages);
  // Where `index` (an element of table().real_indexes) stands among them.
  size_t PositionOf(const RealIndex& index) const;
  // The tree of real index i, opened on first use; every row's change and
  // lookup comes through here.
  Tree& TreeAt(size_t i) { return trees_[i] ? *trees_[i] : OpenTree(i); }
  Tree& OpenTree(size_t i);
  // Adds key, of real index i, for the row at `where`.
  void InsertEntry(size_t i, KeyBytes&& key, RowPointer where);
  void PutWaiting(Tree& t);

  Database& db_;
  PageAllocator& allocator_;
  const TableDefinition& table_;
  std::vector<std::optional<Tree>> trees_;  // like table_.real_indexes, made on first use
  std::unique_ptr<Bulk> bulk_;
};

}  // namespace act::db::jet
