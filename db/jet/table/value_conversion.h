// Converting a value to the type of the column that will store it, with
// Jet's rules for append and update statements: numbers and numeric text
// convert between the numeric types (rounding half to even, failing when
// out of range), anything converts to text, text converts to Yes/No
// ("True", "Yes", "On", numbers) and to dates (yyyy-mm-dd [hh:mm[:ss]]).
#pragma once

#include <optional>

#include "db/jet/table/table_definition.h"
#include "db/value.h"

namespace act::db::jet {

// The value in the kind the column stores, or nullopt when it does not
// convert. Null stays Null. Text is not checked against the column's
// length here (see the row writer).
std::optional<Value> ConvertForColumn(const ColumnDef& column, const Value& value);

// Jet's number for a date and time of day: days since 1899-12-30, the time
// as a fraction of a day.
double JetDate(int year, int month, int day, int hour, int minute, int second);

// Whether `value` is already in the kind the column stores, so that
// ConvertForColumn would hand it back unchanged (a copy between tables of
// the same design converts nothing).
bool IsOfColumnKind(const ColumnDef& column, const Value& value);

}  // namespace act::db::jet
