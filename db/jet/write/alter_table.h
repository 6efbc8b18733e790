// ALTER TABLE ADD COLUMN and DROP COLUMN, as Jet makes them: the table's
// definition changes and its rows stay as they are. A row carries its own
// column count, so a column numbered past it reads as Null (false for a
// Yes/No column) in the rows written before it came; a dropped column's
// bytes stay in the old rows, unread, and its number and variable slot are
// never given again (the TDEF's max-column and variable-column counts keep
// counting them), until a compact rewrites the rows.
#pragma once

#include <string>

#include "db/jet/table/database.h"
#include "db/jet/write/ddl.h"

namespace act::db::jet {

// Jet errors: 3191 when the table has a column of that name, 3251 for a
// Required (NOT NULL) column or past 255 columns.
void AddColumn(Database& db, const std::string& table, const NewColumn& column);

// Jet errors: 3265 when the table has no such column, 3303 when a
// relationship names it, 3280 when an index holds it or it is the last.
void DropColumn(Database& db, const std::string& table, const std::string& column);

}  // namespace act::db::jet
