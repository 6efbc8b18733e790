// DROP TABLE: the table's catalog rows (MSysObjects, with its property
// blob, and its MSysACEs entries) go first, so that no reader finds a
// table whose pages are gone; then every page the table held returns to
// the global map as free: data, index and long-value pages, the pages of
// its usage maps once no other map lies on them, and its TDEF chain. Freed
// pages keep their old bytes, as Access leaves them until a compact.
#pragma once

#include <string>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"

namespace act::db::jet {

// Jet errors: 3376 when the database has no such table, 3303 when a
// relationship (in MSysRelationships or the table's definition) names it,
// 3251 for a system table or a Jet 4 file.
void DropTable(Database& db, const std::string& name);

// Takes usage-map rows off their pages (and frees a reference map's bitmap
// pages); a map page left with no row returns to the global map.
void DropMapRows(Database& db, PageAllocator& allocator, const std::vector<MapRef>& maps);

// Whether MSysRelationships names the table, or the column of it when
// `column` is not empty, on either side of a relationship.
bool InRelationship(Database& db, const std::string& table, const std::string& column = "");

}  // namespace act::db::jet
