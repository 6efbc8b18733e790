// The column properties Jet keeps outside the TDEF, in the table's catalog
// row (MSysObjects.LvProp, a "KKD" block list, "MR2" in Jet 4) and enforces
// on every write: Required (no Null), AllowZeroLength (no empty text when
// false) and DefaultValue (the value of a column an INSERT leaves out).
#pragma once

#include <map>
#include <optional>
#include <string>

#include "db/jet/table/database.h"
#include "db/value.h"

namespace act::db::jet {

struct ColumnProperties {
  bool required = false;
  bool allow_zero_length = true;        // an absent property allows it
  std::optional<Value> default_value;   // literal defaults only (numbers, text, Yes/No)
};

// Per column name (as stored in the TDEF) of `table`; empty when the table
// has no properties. A property blob that breaks the format is a 3049 error.
std::map<std::string, ColumnProperties> ReadColumnProperties(Database& db, uint32_t tdef_page);

// Parses one KKD blob (exposed for the tests).
std::map<std::string, ColumnProperties> ParseColumnProperties(const std::string& blob,
                                                              const std::string& file);

}  // namespace act::db::jet
