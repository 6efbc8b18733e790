// Reading a real index: an in-order walk of all its leaf entries, and key
// lookups that descend from the root as Jet does.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <unordered_map>
#include <vector>

#include "db/jet/index/index_page.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

class IndexReader {
 public:
  IndexReader(Pager& pager, const Format& format, const TableDefinition& table,
              const RealIndex& index);

  // Visits every leaf entry in index order, by walking the tree from the
  // root (node entries, then the tail child). Fails on loops, on a tree
  // deeper than any Jet builds, and on leaves that are not linked in order.
  void Walk(const std::function<void(const IndexEntry&)>& visit);

  // Rows whose key equals `key`, in index order: descends from the root to
  // the first entry not below the key, then follows the leaf chain. The
  // reader keeps the pages it decoded (up to kKeptPages), so that many
  // lookups (a join's) decode the upper levels once: use one reader only
  // while the index does not change.
  std::vector<RowPointer> Find(const KeyBytes& key);
  void Find(const KeyBytes& key, std::vector<RowPointer>& rows);

 private:
  static constexpr size_t kKeptPages = 256;
  const IndexPage& Decoded(uint32_t number);
  void WalkPage(uint32_t number, int depth, std::set<uint32_t>& seen,
                const std::function<void(const IndexEntry&)>& visit, uint32_t& last_leaf);
  IndexPage Read(uint32_t number) { return ReadIndexPage(pager_, format_, number, table_.page); }

  Pager& pager_;
  const Format& format_;
  const TableDefinition& table_;
  const RealIndex& index_;
  std::unordered_map<uint32_t, IndexPage> decoded_;
};

}  // namespace act::db::jet
