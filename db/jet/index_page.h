// Index pages (B-tree nodes and leaves): the header, the entry-end bitmap,
// prefix compression and the entries themselves.
//
// Note the prefix length: ONE byte at 0x14 in Jet 3 (the next byte is 1 on
// node pages), two bytes in Jet 4. Reading two bytes in Jet 3 gives node
// pages a prefix of 256+ and sends lookups down the wrong branch.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/data_page.h"
#include "db/jet/format.h"
#include "db/jet/index_key.h"
#include "db/jet/pager.h"

namespace act::db::jet {

struct IndexEntry {
  KeyBytes key;
  RowPointer row;      // leaf: the row; node: the last row of the child
  uint32_t child = 0;  // node entries only
};

struct IndexPage {
  uint32_t number = 0;
  bool leaf = true;
  uint32_t prev = 0, next = 0, tail = 0;
  uint32_t prefix_length = 0;
  std::vector<IndexEntry> entries;
};

// Reads and checks an index page of the table whose TDEF is `owner`.
IndexPage ReadIndexPage(Pager& pager, const Format& format, uint32_t number, uint32_t owner);

}  // namespace act::db::jet
