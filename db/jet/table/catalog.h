// The catalog: the rows of MSysObjects (whose TDEF is always page 2) that
// describe tables. A table's id is the page of its TDEF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int16_t kObjectTypeTable = 1;
constexpr uint32_t kSystemObjectFlags = 0x80000002;

struct CatalogEntry {
  std::string name;      // UTF-8, as stored
  uint32_t tdef_page = 0;
  uint32_t flags = 0;
  bool is_system() const { return flags & kSystemObjectFlags; }
};

// Every local table of the database (system tables included), in catalog
// order.
std::vector<CatalogEntry> ReadCatalog(Pager& pager, const Format& format);

struct TableDefinition;

// The position of a column that the engine's own tables (MSysObjects,
// MSysACEs) always have; 3049, a damaged file, when `table` lacks it.
size_t SystemColumn(const TableDefinition& table, std::string_view name);

}  // namespace act::db::jet
