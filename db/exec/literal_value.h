// A literal of a statement as an engine value.
#pragma once

#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

Value LiteralValue(const sql::Value& literal);

}  // namespace act::db::exec
