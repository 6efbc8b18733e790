// The refusals of the SQL front end, with the numbers and texts Jet reports
// for the same faults (the numbers are db/errors.h's), so that an operator
// who knows Access recognises them. Every refusal is an act::Error whose
// detail quotes the statement and points at the character where parsing
// stopped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/errors.h"
#include "platform/error.h"

namespace act::sql {

// The Jet text of a number the parser refuses with.
const char* SqlErrorText(int number);

// The error for a fault at byte `position` of `statement`: the Jet text, then
// `what` (what was found or expected), the character position counted from 1,
// and the statement in double quotes (shortened around the position when very
// long; bytes that are not UTF-8 shown as '?').
Error SqlError(int number, std::string_view statement, std::size_t position,
               const std::string& what);

}  // namespace act::sql
