// Compaction, as Access's "Compact Database" does it: a new file holding
// everything the source holds, every page of it in use.
//
// The new file starts as the empty database (empty_database.h). Its four
// engine tables (MSysObjects, MSysACEs, MSysQueries, MSysRelationships)
// keep their pages. Every other table of the source, user tables and
// Access's own alike (MSysModules, MSysAccessObjects, ...: where forms,
// reports, macros and modules are stored, so they are carried as stored),
// gets its definition copied byte for byte but for what names pages or
// counts: its maps, index roots, the TDEFs of related tables, its row count
// and index counters. Its rows are appended, then its indexes built as
// Access builds them. Last, the engine tables' rows are replaced by the
// source's (the catalog rows with saved queries, relationships, properties
// and access entries), a table's Id, which is its TDEF page, changed to
// the copy's, and their indexes built anew. The header page is the
// source's (password, dates), without its database key: the copy is not
// scrambled.
//
// A row of the source that cannot be read is left behind and counted, and
// so is a page that cannot be read at all; the rest is copied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::db::jet {

// What compaction could not read of one table.
struct LeftBehind {
  std::string table;
  size_t rows = 0;            // rows that could not be read (where pages do not
                              // read: the stored row count less the rows read)
  size_t pages = 0;           // pages of it that could not be read at all
  bool whole_table = false;   // its definition or its page list could not be read
  size_t stored_rows = 0;     // the row count its TDEF gives, when whole_table
  std::string first_failure;  // the report of the first failure
  // "table 'Orders': 3 rows left behind (datos.mdb: page 12: ...)".
  std::string text() const;
};

struct CompactionReport {
  size_t tables = 0, rows = 0;  // copied
  std::vector<LeftBehind> left_behind;
};

// Writes `target`, which must not exist (58), from `source`, which is only
// read. A Jet 4 source is refused (3251): the writer writes Jet 3 only. A
// failure removes the target and throws.
CompactionReport CompactDatabase(FileSystem& fs, const std::string& source,
                                 const std::string& target);

}  // namespace act::db::jet
