// An open Jet database file: pager, header and catalog, and the table
// definitions read so far. The DAO layer and the SQL executor sit on this;
// the writer extends it.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/jet/table/catalog.h"
#include "db/jet/file/data_page.h"
#include "db/jet/file/header.h"
#include "db/jet/file/pager.h"
#include "db/jet/table/table_definition.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace act::db::jet {

class Database {
 public:
  // Opens an existing database through the file-system service; read-only
  // unless writable. A missing file is Jet error 3024.
  static std::unique_ptr<Database> Open(FileSystem& fs, const std::string& path, bool writable,
                                        size_t cache_pages = Pager::kDefaultCachePages);
  // Opens a database over an already open file (tests, the fuzzer).
  explicit Database(std::unique_ptr<RandomAccessFile> file,
                    size_t cache_pages = Pager::kDefaultCachePages);

  Pager& pager() { return pager_; }
  const Format& format() const { return *header_.format; }
  const DatabaseHeader& header() const { return header_; }
  const std::string& path() const { return pager_.path(); }

  // Every table in the catalog, in catalog order.
  const std::vector<CatalogEntry>& tables() const { return tables_; }
  // The table of that name (case-insensitive), or nullptr.
  const CatalogEntry* FindTable(std::string_view name) const;
  // Its definition, read once; fails with 3078 for an unknown name.
  std::shared_ptr<const TableDefinition> Table(std::string_view name);
  std::shared_ptr<const TableDefinition> TableAt(uint32_t tdef_page);

  // Forgets what was read from the catalog and the definitions (after the
  // writer changed them).
  void Reload();

  // Reopens the file, through `fs`, for reading and writing, keeping
  // everything read so far; nothing to do once it is open for writing. A
  // database is opened read-only until something is to be written, so that
  // one only read is never opened for writing. A file that cannot be opened
  // for writing stays open for reading, and the failure is thrown.
  void OpenForWriting(FileSystem& fs);
  // Goes on on the file at `file`, which holds the same bytes as the
  // database's own (a working copy of it, or the file itself once the copy
  // took its place), opened through `fs` for reading and, when `writable`,
  // writing; everything read so far is kept. When it cannot be opened, the
  // database's own file is opened for reading again and the failure thrown.
  void Reopen(FileSystem& fs, const std::string& file, bool writable);

  // Where a table's rows lie by the key of one column's value, for the
  // statements that look rows up by that column (a program reading its
  // settings one by one asks a table without an index thousands of
  // times). The caller builds it with one scan, in storage order, and
  // gives it to keep; the database drops it as soon as a writer through it
  // adds or removes rows of the table or changes that column. A row keeps
  // its position when its other columns change, even when its body moves.
  using RowsByKey = std::unordered_map<std::string, std::vector<RowPointer>>;
  const RowsByKey* KeptRows(uint32_t tdef_page, size_t column) const;
  const RowsByKey& KeepRows(uint32_t tdef_page, size_t column, RowsByKey rows);
  // Called by the writers: rows of the table were added or removed
  // (`column` none), or one column of some rows changed.
  void RowsChanged(uint32_t tdef_page, std::optional<size_t> column = std::nullopt);

  // The clock that dates what is written with the time of day (a new
  // table's catalog row): the system's, unless given another, which must
  // then outlive the database.
  const Clock& clock() const { return *clock_; }
  void UseClock(const Clock& clock) { clock_ = &clock; }

 private:
  Pager pager_;
  const Clock* clock_ = &SystemClock();
  bool writable_ = false;
  DatabaseHeader header_;
  std::vector<CatalogEntry> tables_;
  std::map<uint32_t, std::shared_ptr<const TableDefinition>> definitions_;
  std::map<std::pair<uint32_t, size_t>, RowsByKey> kept_rows_;
};

}  // namespace act::db::jet
