// The column properties a CREATE TABLE stores in the table's catalog row
// (MSysObjects.LvProp), in the "KKD" block list that Jet 3 and Access read
// them from: a block naming the properties, then one block per column that
// has any. Only Required is written, the one property a table definition
// statement sets (NOT NULL); Access adds its display properties itself the
// first time it shows the table.
#pragma once

#include <string>
#include <vector>

namespace act::db::jet {

// The blob giving each of `columns` (UTF-8 names, as in the TDEF) the
// Required property set to True; "" when `columns` is empty. Names must be
// representable in code page 1252 (the caller wrote them to the TDEF).
std::string EncodeRequiredProperties(const std::vector<std::string>& columns);

}  // namespace act::db::jet
