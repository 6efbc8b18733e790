// The type names that Jet DDL accepts, with their synonyms.
#pragma once

#include <optional>
#include <string_view>

#include "db/sql/ast.h"

namespace act::sql {

// The column type a DDL type name stands for, in any letter case: the Jet
// names (TEXT, MEMO, BYTE, SHORT, LONG, COUNTER, CURRENCY, SINGLE, DOUBLE,
// DATETIME, BIT, BINARY, LONGBINARY, GUID) and the synonyms Jet takes for
// them (VARCHAR, INTEGER, SMALLINT, FLOAT, REAL, DATE, YESNO, MONEY,
// AUTOINCREMENT, OLEOBJECT, ...). Nothing for an unknown name.
std::optional<ColumnType> LookupColumnType(std::string_view name);

}  // namespace act::sql
