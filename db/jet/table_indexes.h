// The index trees of one table while a writer changes it. Each tree keeps
// the pages it decoded and changed between rows, and the TDEF's root and
// distinct-key counter are kept here too, so that a statement of a million
// rows decodes and encodes a page once per batch rather than once per row.
// Everything reaches the pager at WriteChanges(), which the writer calls
// before each flush.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/index_key.h"
#include "db/jet/index_tree.h"
#include "db/jet/page_allocator.h"
#include "db/jet/table_definition.h"
#include "db/jet/tdef_patch.h"
#include "db/value.h"

namespace act::db::jet {

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

  // Rows whose key in `index` (an element of table().real_indexes) equals `key`, changes
  // not yet written included.
  std::vector<RowPointer> Find(const RealIndex& index, const KeyBytes& key);
  // The same for real index i (by position, as a row's keys are).
  std::vector<RowPointer> Find(size_t i, const KeyBytes& key);

  const TableDefinition& table() const { return table_; }

  // Hands changed index pages and TDEF fields to the pager.
  void WriteChanges();

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
};

}  // namespace act::db::jet
