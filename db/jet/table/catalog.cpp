#include "db/jet/table/catalog.h"

#include "db/errors.h"
#include "db/jet/table/table_definition.h"
#include "db/jet/table/table_scan.h"

namespace act::db::jet {

std::vector<CatalogEntry> ReadCatalog(Pager& pager, const Format& format) {
  TableDefinition objects = ReadTableDefinition(pager, format, kCatalogPage);
  auto column = [&](const char* name) -> size_t {
    const int i = objects.ColumnIndex(name);
    if (i < 0) {
      throw PageFailure(pager.path(), kCatalogPage,
                        std::string("the catalog has no column ") + name);
    }
    return size_t(i);
  };
  const size_t id = column("Id"), parent = column("ParentId"), name = column("Name"),
               type = column("Type"), flags = column("Flags");

  std::vector<CatalogEntry> tables;
  TableScan scan(pager, format, objects);
  while (scan.Next()) {
    Value parent_id = scan.Get(parent), object_type = scan.Get(type);
    if (!parent_id.is_integral() || parent_id.integer() != kTablesContainerId) continue;
    if (!object_type.is_integral() || object_type.integer() != kObjectTypeTable) continue;
    Value object_id = scan.Get(id), object_name = scan.Get(name), object_flags = scan.Get(flags);
    if (!object_id.is_integral() || !object_name.is_text()) {
      scan.page().Fail("catalog row " + std::to_string(scan.position().row) +
                       " describes a table without id or name");
    }
    CatalogEntry entry;
    entry.name = object_name.bytes();
    // The low three bytes of the id are the TDEF page.
    entry.tdef_page = uint32_t(object_id.integer()) & 0x00FFFFFF;
    entry.flags = object_flags.is_integral() ? uint32_t(object_flags.integer()) : 0;
    if (entry.tdef_page >= pager.page_count()) {
      scan.page().Fail("catalog names table '" + entry.name + "' at page " +
                       std::to_string(entry.tdef_page) + ", past the end of the file");
    }
    tables.push_back(std::move(entry));
  }
  return tables;
}

size_t SystemColumn(const TableDefinition& table, std::string_view name) {
  const int i = table.ColumnIndex(name);
  if (i < 0) {
    throw JetFailure(kJetDatabaseCorrupt, "system table lacks column " + std::string(name));
  }
  return size_t(i);
}

}  // namespace act::db::jet
