// Error numbers and texts of the SQL front end, the ones Jet reports for the
// same faults, so that an operator who knows Access recognises them. Every
// refusal is an act::Error whose text is the Jet text below and whose detail
// quotes the statement and points at the character where parsing stopped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace act::sql {

enum SqlErrorNumber : int {
  kErrSyntaxInQueryExpression = 3075,  // WHERE conditions, literals, strings, dates
  kErrInvalidName = 3125,              // a name Jet cannot store (CREATE)
  kErrInvalidStatement = 3129,         // not a statement this engine knows
  kErrSyntaxInFromClause = 3131,
  kErrSyntaxInGroupBy = 3132,
  kErrSyntaxInInsert = 3134,
  kErrSyntaxInOrderBy = 3138,
  kErrSyntaxInSelect = 3141,
  kErrCharactersAfterEnd = 3142,
  kErrSyntaxInUpdate = 3144,
  kErrInvalidFieldType = 3259,
  kErrSyntaxInConstraint = 3289,
  kErrSyntaxInCreateTable = 3290,
  kErrSyntaxInCreateIndex = 3291,
  kErrSyntaxInFieldDefinition = 3292,
  kErrValueCountMismatch = 3346,
  kErrQueryTooComplex = 3360,
};

// The Jet text of one of the numbers above.
const char* SqlErrorText(int number);

// The error for a fault at byte `position` of `statement`: the Jet text, then
// `what` (what was found or expected), the character position counted from 1,
// and the statement in double quotes (shortened around the position when very
// long; bytes that are not UTF-8 shown as '?').
Error SqlError(int number, std::string_view statement, std::size_t position,
               const std::string& what);

}  // namespace act::sql
