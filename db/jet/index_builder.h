// Building a whole index tree at once over sorted entries, as Access does
// when an index is created over existing rows: leaves filled left to right
// as far as they go with prefix compression, the last leaf uncompressed
// with what remains, then node levels the same way (each node's last child
// in its tail field) until one page, the root, is left.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/index_page.h"
#include "db/jet/index_tree.h"
#include "db/jet/pager.h"

namespace act::db::jet {

// Writes the tree over `sorted` (leaf entries in key, then row order) into
// pages taken from `pages`, in the order Access takes them (the root first,
// then each level left to right); returns the root. An empty list gives an
// empty root leaf.
uint32_t BuildIndexTree(Pager& pager, const Format& format, uint32_t owner,
                        const std::vector<IndexEntry>& sorted, IndexPageSource& pages);

}  // namespace act::db::jet
