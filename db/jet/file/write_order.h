// The order in which a statement's changed pages reach the file (see
// Pager::FlushWrites): what is pointed at goes before what points at it, so
// that a write that stops part-way leaves references to old or unused
// bytes, never to pages a reader cannot understand.
#pragma once

namespace act::db::jet {

enum WriteOrder : int {
  kWriteRows = 0,          // rows, long-value links, moved row bodies
  kWriteRowPointers = 1,   // rows that point at moved bodies (overflow headers)
  kWriteNewIndexPages = 2, // index pages nothing in the file points at yet
  kWriteIndexes = 3,       // index pages point at rows and at new index pages
  kWriteMaps = 4,          // usage maps and the global map list the pages above
  kWriteDefinitions = 5,   // TDEF counters and catalog rows come last
};

}  // namespace act::db::jet
