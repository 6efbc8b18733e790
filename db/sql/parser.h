// Parses one Jet SQL statement into the tree of ast.h.
#pragma once

#include <string_view>

#include "db/sql/ast.h"

namespace act::sql {

// Parentheses, NOTs, signs, calls and the operators of one level chained
// together nest at most this deep in an expression; deeper input is refused
// with db::kJetQueryTooComplex, so that neither the parser nor an executor
// walking the tree can run out of stack. Each level of operators (&, + and
// -, Mod, integer division, * and /, ^) counts on its own, so a tree is at
// most kMaxExpressionHeight nodes high.
inline constexpr int kMaxExpressionDepth = 64;
inline constexpr int kMaxExpressionHeight = 8 * (kMaxExpressionDepth + 3);

// The statement written in `sql`: keywords in any case, names plain or in
// [brackets], an optional ';' at the end. Anything else throws act::Error
// with a number of sql_errors.h and a text that quotes the statement and
// gives the character position of the fault.
Statement Parse(std::string_view sql);

}  // namespace act::sql
