// Statements back to text, in the dialect the parser reads: jetsql prints
// table definitions as CREATE statements with it, and the tests use it to
// check that parsing what was printed gives the same statement back.
#pragma once

#include <string>
#include <string_view>

#include "db/sql/ast.h"

namespace act::sql {

// [name]: always bracketed, so that blanks, accents and reserved words need
// no thought. Jet names cannot hold ']'.
std::string QuoteName(std::string_view name);

// 'text' with each apostrophe doubled.
std::string QuoteText(std::string_view text);

// A literal: NULL, TRUE, 12, -1.5 (as written), 'text', #2024-05-01 10:30:00#,
// 0x0AFF.
std::string ToSql(const Value& value);

// A condition, fully parenthesised below the top level.
std::string ToSql(const Expr& expr);

// A FROM clause, every join in parentheses.
std::string ToSql(const Source& source);

// A whole statement, without a trailing ';'.
std::string ToSql(const Statement& statement);

}  // namespace act::sql
