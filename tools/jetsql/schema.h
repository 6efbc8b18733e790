// A table's definition as the Jet DDL that re-creates it (jetsql --schema).
#pragma once

#include <string>
#include <vector>

#include "db/jet/table/database.h"
#include "db/sql/ast.h"

namespace act::jetsql {

// CREATE TABLE with the table's columns (by column number), then one CREATE
// INDEX for each of its indexes, in stored order. Jet keeps no DDL, so:
// counters come from the autonumber flag; NOT NULL is not written (Jet
// keeps "Required" among the column properties, which are not read);
// foreign-key indexes are left out (the DDL here has no REFERENCES); and a
// Jet 4 DECIMAL column is written as DOUBLE.
std::vector<sql::Statement> TableSchema(db::jet::Database& db, const std::string& table);

// The statements of TableSchema for every user table, each ending in ";"
// and a line break, tables separated by an empty line.
std::string SchemaText(db::jet::Database& db);

}  // namespace act::jetsql
