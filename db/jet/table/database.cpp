#include "db/jet/table/database.h"

#include "db/errors.h"

namespace act::db::jet {

std::unique_ptr<Database> Database::Open(FileSystem& fs, const std::string& path, bool writable,
                                         size_t cache_pages) {
  std::unique_ptr<RandomAccessFile> file;
  try {
    file = fs.OpenRandomAccess(path, writable);
  } catch (const act::Error& e) {
    if (e.number() == kErrFileNotFound || e.number() == kErrPathNotFound) {
      throw JetFailure(kJetFileNotFound, "'" + path + "'");
    }
    throw;
  }
  auto db = std::make_unique<Database>(std::move(file), cache_pages);
  db->writable_ = writable;
  return db;
}

void Database::OpenForWriting(FileSystem& fs) {
  if (!writable_) Reopen(fs, path(), true);
}

void Database::Reopen(FileSystem& fs, const std::string& file, bool writable) {
  // Windows refuses a second, writing handle while our reading one denies
  // other writers: let go of the one held first, and take the database's
  // own file back for reading when the new one cannot be opened.
  pager_.ReplaceFile(nullptr);
  writable_ = false;
  try {
    pager_.ReplaceFile(fs.OpenRandomAccess(file, writable));
  } catch (...) {
    pager_.ReplaceFile(fs.OpenRandomAccess(path(), false));
    throw;
  }
  writable_ = writable;
}

Database::Database(std::unique_ptr<RandomAccessFile> file, size_t cache_pages)
    : pager_(std::move(file), cache_pages) {
  header_ = ReadHeader(pager_);
  tables_ = ReadCatalog(pager_, format());
}

void Database::Reload() {
  definitions_.clear();
  tables_ = ReadCatalog(pager_, format());
}

const Database::RowsByKey* Database::KeptRows(uint32_t tdef_page, size_t column) const {
  auto found = kept_rows_.find({tdef_page, column});
  return found == kept_rows_.end() ? nullptr : &found->second;
}

const Database::RowsByKey& Database::KeepRows(uint32_t tdef_page, size_t column, RowsByKey rows) {
  return kept_rows_[{tdef_page, column}] = std::move(rows);
}

void Database::RowsChanged(uint32_t tdef_page, std::optional<size_t> column) {
  for (auto it = kept_rows_.lower_bound({tdef_page, 0});
       it != kept_rows_.end() && it->first.first == tdef_page;) {
    if (!column || it->first.second == *column) it = kept_rows_.erase(it);
    else ++it;
  }
}

const CatalogEntry* Database::FindTable(std::string_view name) const {
  for (const CatalogEntry& entry : tables_) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

std::shared_ptr<const TableDefinition> Database::TableAt(uint32_t tdef_page) {
  auto found = definitions_.find(tdef_page);
  if (found != definitions_.end()) return found->second;
  auto definition =
      std::make_shared<const TableDefinition>(ReadTableDefinition(pager_, format(), tdef_page));
  definitions_[tdef_page] = definition;
  return definition;
}

std::shared_ptr<const TableDefinition> Database::Table(std::string_view name) {
  const CatalogEntry* entry = FindTable(name);
  if (!entry) {
    throw JetFailure(kJetTableNotFound, path() + ": '" + std::string(name) + "'");
  }
  return TableAt(entry->tdef_page);
}

}  // namespace act::db::jet
